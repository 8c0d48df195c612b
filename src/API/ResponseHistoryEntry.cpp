#include "API/ResponseHistoryEntry.h"

#include <QHashFunctions>

size_t qHash(const ResponseHistoryEntry& entry, size_t seed) {
    const double duration = entry.duration == 0 ? 0.0 : entry.duration;  // +0 and -0 are equal
    return qHashMulti(seed, entry.id, entry.timestamp, entry.requestName, int(entry.method), entry.url, entry.status,
                      entry.statusText, duration, entry.size);
}
