#pragma once
// A run of UTF-16 code units: where it starts and how many units it covers.
#include <QtGlobal>

struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }

    // True when the two ranges share at least one unit.
    bool intersects(const TextRange& other) const {
        return qMin(end(), other.end()) - qMax(location, other.location) > 0;
    }
    // True when offset lies in [location, end).
    bool containsLocation(qsizetype offset) const { return offset >= location && offset < end(); }

    friend bool operator==(const TextRange&, const TextRange&) = default;
};
