#include "API/RowMerge.h"

#include <QHash>

namespace RowMerge {

QStringList merge(const QList<Entry>& original, const QList<KeyValueItem>& rows,
                  const std::function<std::optional<QString>(const KeyValueItem&)>& write) {
    QHash<QUuid, qsizetype> indexOf;  // first row with each id
    for (qsizetype i = rows.size() - 1; i >= 0; --i) indexOf.insert(rows[i].id, i);
    QHash<QUuid, const Entry*> entryOf;
    for (const Entry& entry : original)
        if (entry.row && !entryOf.contains(entry.row->id)) entryOf.insert(entry.row->id, &entry);

    QStringList out;
    QList<bool> emitted(rows.size(), false);
    qsizetype next = 0;
    auto place = [&](qsizetype i) {
        emitted[i] = true;
        const Entry* entry = entryOf.value(rows[i].id);
        if (entry && entry->row->sameContent(rows[i])) {
            out.append(entry->text);
        } else if (auto text = write(rows[i])) {
            out.append(*text);
        }
    };
    for (const Entry& entry : original) {
        if (!entry.row) {
            out.append(entry.text);
            continue;
        }
        const qsizetype j = indexOf.value(entry.row->id, -1);
        if (j < 0 || emitted[j] || entryOf.value(entry.row->id) != &entry) continue;  // removed, or already placed
        for (; next < j; ++next)
            if (!emitted[next]) place(next);
        place(j);
        next = std::max(next, j + 1);
    }
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (!emitted[i]) place(i);
    return out;
}

} // namespace RowMerge
