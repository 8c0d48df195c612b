#pragma once
// Rewrites the lines of a header or parameter list after an edit without disturbing what the
// model does not hold: lines that are not rows (comments, notes) stay where they were, rows the
// edit left alone keep their exact text, changed rows are written anew, removed rows vanish and
// new rows follow the row they follow in the edited list.
#include "API/KeyValueItem.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <optional>

namespace RowMerge {

struct Entry {
    QString text;                     // the original line(s), without the final line end
    std::optional<KeyValueItem> row;  // the row it was read as; absent for other lines
};

// write gives a row's text, or nothing when the row is not written.
QStringList merge(const QList<Entry>& original, const QList<KeyValueItem>& rows,
                  const std::function<std::optional<QString>(const KeyValueItem&)>& write);

} // namespace RowMerge
