#pragma once
// The request files of the corpus of files written by other tools.
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

#include "API/RequestFormatRegistry.h"

namespace corpus_files {

inline QString folder() { return QStringLiteral(BRIMEL_CORPUS_DIR); }

// Request files only: the .bru collection, folder and environment files describe no request.
inline QStringList requestFiles() {
    QStringList files;
    QDirIterator it(folder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        if (!RequestFormatRegistry::formatFor(path)) continue;
        if (info.suffix() == QLatin1String("bru") &&
            (info.fileName() == QLatin1String("collection.bru") || info.fileName() == QLatin1String("folder.bru") ||
             info.dir().dirName() == QLatin1String("environments")))
            continue;
        files.append(path);
    }
    files.sort();
    return files;
}

} // namespace corpus_files
