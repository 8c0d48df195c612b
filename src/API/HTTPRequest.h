#pragma once
// One request as written in a request file.
#include "API/BodyKind.h"
#include "API/HTTPMethod.h"
#include "API/KeyValueItem.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <memory>

struct RequestSource;

struct HTTPRequest {
    QUuid id = QUuid::createUuid();
    QString name;
    HTTPMethod method = HTTPMethod::get;
    QString url;
    QList<KeyValueItem> headers;
    QList<KeyValueItem> params;
    QString body;
    BodyKind bodyKind = BodyKind::none;

    // The file text the request was read from. Saving reuses it so that what the model does not
    // hold (comments, directives, unknown blocks) survives. Not part of the value: equality ignores it.
    std::shared_ptr<const RequestSource> source;

    // Every field but the source, the id included.
    bool operator==(const HTTPRequest& other) const;
    // What a file holds of the request: every field but the ids of the request and its rows.
    bool sameContent(const HTTPRequest& other) const;
    // Whether the request carries a body, sent and written alike: a kind other than none and a non-empty text.
    bool hasBody() const { return bodyKind != BodyKind::none && !body.isEmpty(); }
};

// Row lists compared on what a file holds of them (ids ignored).
bool sameRows(const QList<KeyValueItem>& a, const QList<KeyValueItem>& b);

size_t qHash(const HTTPRequest& request, size_t seed = 0);
