#include "API/RequestFileFormat.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

// Rows read the same as before keep their ids, so an editor showing them is not rebuilt.
void keepRowIds(QList<KeyValueItem>& rows, const QList<KeyValueItem>& previous) {
    QList<bool> used(previous.size(), false);
    for (KeyValueItem& row : rows) {
        for (qsizetype i = 0; i < previous.size(); ++i) {
            if (used[i] || !previous[i].sameContent(row)) continue;
            used[i] = true;
            row.id = previous[i].id;
            break;
        }
    }
}

void keepIdsOfRows(QList<HTTPRequest>& parsed, const QList<HTTPRequest>& previous) {
    for (HTTPRequest& request : parsed) {
        for (const HTTPRequest& old : previous) {
            if (old.id != request.id) continue;
            keepRowIds(request.headers, old.headers);
            keepRowIds(request.params, old.params);
            break;
        }
    }
}

} // namespace

void keepRequestIds(QList<HTTPRequest>& parsed, const QList<HTTPRequest>& previous) {
    if (previous.isEmpty()) return;
    const qsizetype count = std::min(parsed.size(), previous.size());
    for (qsizetype i = 0; i < count; ++i)
        if (parsed[i].name == previous[i].name) parsed[i].id = previous[i].id;

    // A request that moved (another was inserted above it, say by a checkout) keeps its id when
    // its name is unique on both sides.
    QHash<QString, int> parsedNames, previousNames;
    for (const HTTPRequest& r : parsed) ++parsedNames[r.name];
    for (const HTTPRequest& r : previous) ++previousNames[r.name];
    QSet<QUuid> taken;
    for (const HTTPRequest& r : parsed) taken.insert(r.id);
    for (HTTPRequest& request : parsed) {
        if (parsedNames.value(request.name) != 1 || previousNames.value(request.name) != 1) continue;
        const auto old = std::find_if(previous.cbegin(), previous.cend(),
                                      [&](const HTTPRequest& r) { return r.name == request.name; });
        if (old->id == request.id || taken.contains(old->id)) continue;
        taken.remove(request.id);
        request.id = old->id;
        taken.insert(old->id);
    }
    keepIdsOfRows(parsed, previous);
}
