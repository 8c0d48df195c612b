#pragma once
// A form body (application/x-www-form-urlencoded) as the request model holds it: its fields
// joined by "&", each "key=value" with key and value encoded, so that a field may hold "&", "="
// and spaces; {{name}} references stay as written until the body is sent. A field switched off
// is kept in the text with a leading "~" (a key's own leading "~" is written encoded) and is
// never sent.
#include "API/HTTPRequest.h"
#include "API/KeyValueItem.h"

#include <QList>
#include <QString>
#include <functional>

namespace FormBody {

// The fields of a body, decoded ("+" is a space; "%XX" bytes read as UTF-8, a field that does not
// decode is taken as written). Line breaks around a field are no part of it; pieces with neither
// key nor value are left out. A field without a key is kept but never sent.
QList<KeyValueItem> fields(const QString& body);
// The body of the fields that hold a key or a value, disabled ones marked. A field that reads the
// same as a piece of previous (the body being edited) is written as that piece was, so fields the
// user did not touch keep their spelling.
QString body(const QList<KeyValueItem>& fields, const QString& previous = {});
// What goes on the wire: the enabled fields, each key and value passed through expand (which
// replaces references), everything encoded as curl --data-urlencode encodes it.
QString sendable(const QString& body, const std::function<QString(const QString&)>& expand);

// Whether a request's body goes out as fields encoded here: a form body whose Content-Type (the
// request's own, else the default one) is application/x-www-form-urlencoded. A multipart or other
// Content-Type of the user's is sent as written.
bool isSentEncoded(const HTTPRequest& request);

} // namespace FormBody
