#include "API/HTTPMethod.h"

#include "UI/Brand.h"

namespace HTTPMethods {

const QList<HTTPMethod>& allCases() {
    static const QList<HTTPMethod> all{HTTPMethod::get,    HTTPMethod::post, HTTPMethod::put,    HTTPMethod::patch,
                                       HTTPMethod::delete_, HTTPMethod::head, HTTPMethod::options};
    return all;
}

QString rawValue(HTTPMethod method) {
    switch (method) {
    case HTTPMethod::get: return QStringLiteral("GET");
    case HTTPMethod::post: return QStringLiteral("POST");
    case HTTPMethod::put: return QStringLiteral("PUT");
    case HTTPMethod::patch: return QStringLiteral("PATCH");
    case HTTPMethod::delete_: return QStringLiteral("DELETE");
    case HTTPMethod::head: return QStringLiteral("HEAD");
    case HTTPMethod::options: return QStringLiteral("OPTIONS");
    }
    return {};
}

std::optional<HTTPMethod> fromRawValue(const QString& raw) {
    for (HTTPMethod method : allCases())
        if (rawValue(method) == raw) return method;
    return std::nullopt;
}

QColor color(HTTPMethod method) {
    switch (method) {
    case HTTPMethod::get: return Brand::palette()[3];
    case HTTPMethod::post: return Brand::palette()[4];
    case HTTPMethod::put: return Brand::palette()[1];
    case HTTPMethod::patch: return Brand::palette()[0];
    case HTTPMethod::delete_: return Brand::palette()[2];
    case HTTPMethod::head:
    case HTTPMethod::options: break;
    }
    return QColor::fromRgbF(1, 1, 1, 0.55f);
}

} // namespace HTTPMethods
