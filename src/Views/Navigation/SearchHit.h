#pragma once
// One matching line of a project search.
#include <QString>

struct SearchHit {
    QString url;      // the file's path
    int line = 0;     // 1-based
    QString preview;  // the line without spaces and tabs at either end

    QString id() const { return url + u':' + QString::number(line); }
    bool operator==(const SearchHit&) const = default;
};
