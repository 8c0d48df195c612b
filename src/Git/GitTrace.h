#pragma once
// What the event log of one git run says about the programs it started (GIT_TRACE2_EVENT): which
// hook ended in failure, and how git ran the signing program when signing failed. git's own
// output names neither.
#include <QString>
#include <QStringList>
#include <optional>

namespace GitTrace {

struct Reading {
    std::optional<QString> refusedHook;         // e.g. "pre-commit"
    std::optional<QStringList> failedSigning;  // the signing program's argument list
};

// Reads the log written to path; an absent or unreadable log says nothing.
Reading read(const QString& path);

} // namespace GitTrace
