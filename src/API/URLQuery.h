#pragma once
// A URL's query as text: rows read from a query keep the text they were written as, rows the
// user typed are encoded, and a URL goes on the wire as written, with only the characters that
// cannot travel raw escaped.
#include <QList>
#include <QString>

#include "API/KeyValueItem.h"

namespace URLQuery {

// A key or value typed as data: everything but letters, digits and "-._~" percent-encoded.
QString encoded(const QString& text);
// A key or value typed into a query row: as encoded(), but the characters a query may hold raw
// without changing its meaning ("!$'()*,/:;?@") stay raw, as request files write them. "+", "&",
// "=" and "#" are encoded.
QString queryEncoded(const QString& text);
// One row as a query piece: the text a query wrote it as while it is unchanged, else
// queryEncoded(key) "=" queryEncoded(value).
QString piece(const KeyValueItem& row);
// The URL text with the rows' pieces appended to its query, after the query it already holds.
// A fragment ("#…", of the URL or of a row as written) stays last.
QString compose(const QString& url, const QList<KeyValueItem>& rows);
// The text with every character that cannot appear raw in a URL (blanks, controls, non-ASCII,
// " < > \ ^ ` { | }, and a "%" that starts no escape) percent-encoded as UTF-8; everything else as
// written, escapes included.
QString wireText(const QString& text);

} // namespace URLQuery
