#include "API/HTTPRequest.h"

#include <QHashFunctions>

bool HTTPRequest::operator==(const HTTPRequest& other) const {
    return id == other.id && name == other.name && method == other.method && url == other.url &&
           headers == other.headers && params == other.params && body == other.body && bodyKind == other.bodyKind;
}

bool sameRows(const QList<KeyValueItem>& a, const QList<KeyValueItem>& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!a[i].sameContent(b[i])) return false;
    return true;
}

bool HTTPRequest::sameContent(const HTTPRequest& other) const {
    return name == other.name && method == other.method && url == other.url && sameRows(headers, other.headers) &&
           sameRows(params, other.params) && body == other.body && bodyKind == other.bodyKind;
}

size_t qHash(const HTTPRequest& request, size_t seed) {
    size_t h = qHashMulti(seed, request.id, request.name, int(request.method), request.url, request.body,
                          int(request.bodyKind));
    for (const KeyValueItem& row : request.headers) h = qHash(row, h);
    for (const KeyValueItem& row : request.params) h = qHash(row, h ^ 0x9e3779b9u);
    return h;
}
