#pragma once
// One request file of the workspace with the requests read from it.
#include "API/HTTPRequest.h"
#include "API/RequestFileFormat.h"

#include <QList>
#include <QString>

struct APICollectionFile {
    QString url;                                  // path of the request file; the record's identity
    QList<HTTPRequest> requests;                  // in file order
    const RequestFileFormat* format = nullptr;    // reads the file and writes it back

    const QString& id() const { return url; }
    // The format takes no part: it follows from the file's extension.
    bool operator==(const APICollectionFile& other) const { return url == other.url && requests == other.requests; }
};

size_t qHash(const APICollectionFile& file, size_t seed = 0);
