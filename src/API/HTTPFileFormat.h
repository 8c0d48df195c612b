#pragma once
// The ".http" / ".rest" request-file format: requests introduced by "###" lines, each a request
// line, header lines, a blank line and a body.
#include "API/HTTPRequest.h"
#include "API/RequestFileFormat.h"

#include <QList>
#include <QSet>
#include <QString>

namespace HTTPFileFormat {

const RequestFileFormat& format();
const QSet<QString>& fileExtensions();  // {"http", "rest"}

// Every request of the text, in file order, each with a fresh id unless previous (the requests
// of the same file read before) holds one at the same index with the same name.
QList<HTTPRequest> parse(const QString& text, const QList<HTTPRequest>& previous = {});

// The whole file. Sections of requests that still hold what they were read as are written back
// exactly; edited requests keep their comments, directives and untouched lines; sections that
// hold no request (variables, unknown methods) stay where they were.
QString serialize(const QList<HTTPRequest>& requests);

// Why a request cannot be written as it is (a line break in its name, URL or a header, a header
// key that would read back as another row, a query parameter switched off, a body line starting
// with "###"); absent when it can.
std::optional<QString> cannotHold(const HTTPRequest& request);

// One request on its own, e.g. for editing it as text: its section as edited, or a new block.
QString serializeRequest(const HTTPRequest& request);

} // namespace HTTPFileFormat
