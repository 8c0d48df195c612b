#include "API/RequestEditMerge.h"

#include <algorithm>

namespace RequestEditMerge {
namespace {

qsizetype indexOfId(const QList<KeyValueItem>& rows, const QUuid& id) {
    const auto it = std::find_if(rows.cbegin(), rows.cend(), [&](const KeyValueItem& r) { return r.id == id; });
    return it == rows.cend() ? -1 : it - rows.cbegin();
}

// Rows the edit put in another order than base (lines moved in a raw text) take that order in
// out, in the places such rows hold there; rows only out holds stay where they are.
void followMoves(const QList<KeyValueItem>& base, const QList<KeyValueItem>& edited, QList<KeyValueItem>& out) {
    QList<QUuid> baseOrder, editedOrder;
    for (const KeyValueItem& row : base)
        if (indexOfId(edited, row.id) >= 0) baseOrder << row.id;
    for (const KeyValueItem& row : edited)
        if (indexOfId(base, row.id) >= 0) editedOrder << row.id;
    if (baseOrder == editedOrder) return;
    QList<qsizetype> places;
    for (qsizetype i = 0; i < out.size(); ++i)
        if (indexOfId(edited, out[i].id) >= 0) places << i;
    QList<KeyValueItem> inOrder;
    for (const KeyValueItem& row : edited)
        if (const qsizetype at = indexOfId(out, row.id); at >= 0) inOrder << out[at];
    for (qsizetype k = 0; k < places.size(); ++k) out[places[k]] = inOrder[k];
}

QList<KeyValueItem> mergeRows(const QList<KeyValueItem>& base, const QList<KeyValueItem>& edited,
                              const QList<KeyValueItem>& current) {
    if (edited == base) return current;
    QList<KeyValueItem> out = current;
    for (const KeyValueItem& row : base)
        if (indexOfId(edited, row.id) < 0) out.removeIf([&](const KeyValueItem& r) { return r.id == row.id; });
    // Walk the edited rows in order: an added row goes after the row before it, or before the
    // row after it when it comes first, or last; so additions land where the user put them.
    qsizetype after = -1;
    for (qsizetype e = 0; e < edited.size(); ++e) {
        const KeyValueItem& row = edited[e];
        const qsizetype was = indexOfId(base, row.id);
        qsizetype at = indexOfId(out, row.id);
        if (was >= 0 && base[was] == row) {
            if (at >= 0) after = at;
            continue;
        }
        if (at >= 0) {
            out[at] = row;
        } else {
            at = after >= 0 ? after + 1 : out.size();
            for (qsizetype n = e + 1; after < 0 && n < edited.size(); ++n) {
                if (const qsizetype next = indexOfId(out, edited[n].id); next >= 0) {
                    at = next;
                    break;
                }
            }
            out.insert(at, row);
        }
        after = at;
    }
    followMoves(base, edited, out);
    return out;
}

template <class T>
void take(T& into, const T& base, const T& edited) {
    if (!(edited == base)) into = edited;
}

} // namespace

HTTPRequest apply(const HTTPRequest& base, const HTTPRequest& edited, const HTTPRequest& current) {
    HTTPRequest out = current;
    take(out.name, base.name, edited.name);
    take(out.method, base.method, edited.method);
    take(out.url, base.url, edited.url);
    take(out.body, base.body, edited.body);
    take(out.bodyKind, base.bodyKind, edited.bodyKind);
    out.headers = mergeRows(base.headers, edited.headers, current.headers);
    out.params = mergeRows(base.params, edited.params, current.params);
    return out;
}

} // namespace RequestEditMerge
