#pragma once
// One matching line of a project search.
#include <QString>

struct SearchHit {
    // The most of a line a preview keeps: more than a row can show, and a minified file's line of a
    // megabyte is not held whole by every hit on it.
    static constexpr qsizetype kPreviewLength = 400;

    QString url;      // the file's path
    int line = 0;     // 1-based
    QString preview;  // the line without spaces and tabs at either end, at most kPreviewLength long

    QString id() const { return url + u':' + QString::number(line); }
    bool operator==(const SearchHit&) const = default;
};
