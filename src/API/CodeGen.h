#pragma once
// Writes a request as code that performs it elsewhere: a cURL command, a JavaScript fetch call or a
// Swift URLSession fragment. Variables are substituted first, so the code holds concrete values.
// Every literal is escaped for its language, so pasting the code sends exactly the request's text.
#include <QMap>
#include <QString>

#include "API/CodeGenTarget.h"
#include "API/HTTPRequest.h"

namespace CodeGen {

QString snippet(const HTTPRequest& request, CodeGenTarget target, const QMap<QString, QString>& environment);

} // namespace CodeGen
