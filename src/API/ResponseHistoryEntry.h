#pragma once
// One recorded send: what the history list shows of it.
#include <QDateTime>
#include <QString>
#include <QUuid>

#include "API/HTTPMethod.h"

struct ResponseHistoryEntry {
    QUuid id = QUuid::createUuid();
    QDateTime timestamp;
    QString requestName;
    HTTPMethod method = HTTPMethod::get;
    QString url;  // after variable substitution, as the caller gave it
    int status = 0;
    QString statusText;
    double duration = 0;  // seconds
    qint64 size = 0;      // bytes

    bool operator==(const ResponseHistoryEntry& other) const = default;
};

size_t qHash(const ResponseHistoryEntry& entry, size_t seed = 0);
