#pragma once
// The contract of a request-file format: the extensions it reads, parse and serialize. Formats
// are stateless; the program refers to one by the address of its descriptor.
#include "API/HTTPRequest.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

struct RequestFileFormat {
    QSet<QString> fileExtensions;  // lower case, without the dot

    // The whole text of a file to its requests. When the same file was parsed before, pass its
    // previous requests: ids are kept as keepRequestIds() keeps them.
    QList<HTTPRequest> (*parse)(const QString& text, const QList<HTTPRequest>& previous);

    // The requests to the whole text of the file. Text the requests were read from is kept
    // wherever the requests still hold what was read from it.
    QString (*serialize)(const QList<HTTPRequest>& requests);

    // Why the format cannot hold the request as it is (written, it would read back as something
    // else); absent when it can. Null when the format holds every request.
    std::optional<QString> (*cannotHold)(const HTTPRequest& request);
};

// A reparse keeps ids (the window's active request, history and editor refer to ids): each parsed
// request takes the id of the previous request at the same index when the two have the same name,
// and otherwise that of the previous request of its name when the name is unique on both sides.
// Header and parameter rows of a request that kept its id keep theirs where they read the same.
void keepRequestIds(QList<HTTPRequest>& parsed, const QList<HTTPRequest>& previous);
