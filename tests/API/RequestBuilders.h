#pragma once
// Short ways to build requests and rows in tests.
#include "API/HTTPRequest.h"
#include "API/KeyValueItem.h"

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

} // namespace builders
