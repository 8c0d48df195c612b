#pragma once
// One received response, or a failed send shown as one (status 0).
#include "Editor/CodeLanguage.h"

#include <QByteArray>
#include <QMap>
#include <QString>

struct HTTPResponse {
    int status = 0;
    QString statusText;
    QMap<QString, QString> headers;  // names as delivered, case not normalised
    QByteArray body;
    double duration = 0;  // seconds
    qint64 size = 0;      // bytes in body

    bool operator==(const HTTPResponse& other) const = default;

    // The language the response viewer colours the body in, from the Content-Type header.
    CodeLanguage bodyLanguage() const;
};

size_t qHash(const HTTPResponse& response, size_t seed = 0);
