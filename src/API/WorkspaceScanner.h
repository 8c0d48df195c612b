#pragma once
// The walk over a workspace folder that finds request and environment files.
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "Platform/TextFile.h"

namespace WorkspaceScanner {

// Entry names never listed or entered: version control, dependency and build folders.
const QSet<QString>& ignoredNames();

// Every file under folder (recursively) for which test holds, in walk order. Hidden entries
// (names starting with ".") and ignored names are skipped with everything below them; symbolic
// links count as files, so a link cycle cannot make the walk loop. A folder that cannot be
// read contributes nothing.
QStringList enumerate(const QString& folder, const std::function<bool(const QString& path)>& test);

// Brings found, what enumerate gave for folder and test, up to date with changes at the given paths
// (relative to folder): only those paths are looked at, and only the folders among them walked.
void update(const QString& folder, QStringList& found, const QSet<QString>& changed,
            const std::function<bool(const QString& path)>& test);

// Entries listed or looked at by walks and updates so far, in this process.
quint64 entriesVisited();
// The same, by the calling thread alone.
quint64 entriesVisitedHere();

// A found file's text, as TextFile reads it; its bytes are counted for the calling thread.
TextFile::ReadResult readText(const QString& path);
// Bytes read by readText on the calling thread so far.
quint64 bytesReadHere();

// File tests for the walk.
bool isRequestFile(const QString& path);      // extension known to the format registry, any case
bool isEnvironmentFile(const QString& path);  // ".env" or ".json" (any case) in a folder named "environments"

} // namespace WorkspaceScanner
