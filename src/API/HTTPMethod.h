#pragma once
// The request methods the client knows, in the order the method menu lists them.
#include <QColor>
#include <QList>
#include <QString>
#include <optional>

enum class HTTPMethod { get, post, put, patch, delete_, head, options };

namespace HTTPMethods {

const QList<HTTPMethod>& allCases();
QString rawValue(HTTPMethod method);                  // "GET", "POST", ...; also the method's id
std::optional<HTTPMethod> fromRawValue(const QString& raw);  // exact, case-sensitive
QColor color(HTTPMethod method);                      // the badge colour

} // namespace HTTPMethods
