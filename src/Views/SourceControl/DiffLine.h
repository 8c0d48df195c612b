#pragma once
// One display line of a unified diff, with its numbers in the old and the new file.
#include <QString>
#include <QtGlobal>
#include <optional>

enum class DiffLineKind { header, hunk, added, removed, context };

struct DiffLine {
    DiffLineKind kind = DiffLineKind::context;
    std::optional<qint64> oldNo;  // absent for header, hunk and added lines
    std::optional<qint64> newNo;  // absent for header, hunk and removed lines
    QString text;                 // without the one-character prefix of a hunk body line

    friend bool operator==(const DiffLine&, const DiffLine&) = default;
};
