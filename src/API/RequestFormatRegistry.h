#pragma once
// The request-file formats in the order a file's extension is matched against them.
#include "API/RequestFileFormat.h"

#include <QList>
#include <QSet>
#include <QString>

namespace RequestFormatRegistry {

const QList<const RequestFileFormat*>& formats();  // .http/.rest, then .bru
const QSet<QString>& allExtensions();
// The format for a file name or path by its lower-cased extension; nullptr when it is no request file.
const RequestFileFormat* formatFor(const QString& fileName);

} // namespace RequestFormatRegistry
