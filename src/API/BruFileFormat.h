#pragma once
// The ".bru" request-file format: one request per file, written as named blocks
// (meta, a method block, params:query, headers, auth:*, body:*, and blocks this program does not read).
#include "API/HTTPRequest.h"
#include "API/RequestFileFormat.h"

#include <QList>
#include <QSet>
#include <QString>

namespace BruFileFormat {

const RequestFileFormat& format();
const QSet<QString>& fileExtensions();  // {"bru"}

// No request, or exactly one. With previous (the file's requests read before) the request keeps
// the id of the previous first request when their names match.
QList<HTTPRequest> parse(const QString& text, const QList<HTTPRequest>& previous = {});

// The file of the first request; empty for an empty list. A request read from a file is written
// back into that file's text: only the blocks and lines it changed are rewritten.
QString serialize(const QList<HTTPRequest>& requests);

// Why the request cannot be written as it is (a row without a key, blanks around a value, text
// the block syntax cannot hold); absent when it can.
std::optional<QString> cannotHold(const HTTPRequest& request);

} // namespace BruFileFormat
