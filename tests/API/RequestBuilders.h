#pragma once
// Short ways to build requests and rows in tests.
#include "API/HTTPRequest.h"
#include "API/KeyValueItem.h"

#include <QStringList>

namespace builders {

inline KeyValueItem row(const QString& key, const QString& value, bool enabled = true) {
    KeyValueItem item;
    item.key = key;
    item.value = value;
    item.enabled = enabled;
    return item;
}

inline HTTPRequest request(HTTPMethod method, const QString& url, BodyKind kind = BodyKind::none,
                           const QString& body = {}) {
    HTTPRequest r;
    r.method = method;
    r.url = url;
    r.bodyKind = kind;
    r.body = body;
    return r;
}

// Rows as "key=value", a disabled one marked "~": what a file or a sent request holds of them.
inline QStringList rows(const QList<KeyValueItem>& items) {
    QStringList out;
    for (const KeyValueItem& item : items) out.append((item.enabled ? "" : "~") + item.key + u'=' + item.value);
    return out;
}

} // namespace builders
