#include "API/HTTPResponse.h"

#include <QHashFunctions>

CodeLanguage HTTPResponse::bodyLanguage() const {
    // Header names are case-insensitive on the wire; the usual spellings win when several are present.
    auto value = headers.constFind(QStringLiteral("Content-Type"));
    if (value == headers.cend()) value = headers.constFind(QStringLiteral("content-type"));
    if (value == headers.cend()) {
        for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
            if (it.key().compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0) {
                value = it;
                break;
            }
        }
    }
    if (value == headers.cend()) return CodeLanguage::plain;
    const QString type = value.value().toLower();
    if (type.contains(QLatin1String("json"))) return CodeLanguage::json;
    if (type.contains(QLatin1String("html"))) return CodeLanguage::html;
    if (type.contains(QLatin1String("xml"))) return CodeLanguage::html;
    if (type.contains(QLatin1String("yaml"))) return CodeLanguage::yaml;
    if (type.contains(QLatin1String("css"))) return CodeLanguage::css;
    return CodeLanguage::plain;
}

size_t qHash(const HTTPResponse& response, size_t seed) {
    // +0.0 and -0.0 compare equal, so they must hash alike.
    const double duration = response.duration == 0 ? 0.0 : response.duration;
    size_t h = qHashMulti(seed, response.status, response.statusText, response.body, duration, response.size);
    for (auto it = response.headers.cbegin(); it != response.headers.cend(); ++it) h = qHashMulti(h, it.key(), it.value());
    return h;
}
