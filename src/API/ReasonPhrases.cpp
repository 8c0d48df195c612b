#include "API/ReasonPhrases.h"

#include <QHash>

namespace ReasonPhrases {

namespace {

const QHash<int, QString>& phrases() {
    static const QHash<int, QString> table = {
        // The codes shown most often.
        {200, QStringLiteral("OK")},
        {201, QStringLiteral("Created")},
        {202, QStringLiteral("Accepted")},
        {204, QStringLiteral("No Content")},
        {301, QStringLiteral("Moved Permanently")},
        {302, QStringLiteral("Found")},
        {304, QStringLiteral("Not Modified")},
        {307, QStringLiteral("Temporary Redirect")},
        {308, QStringLiteral("Permanent Redirect")},
        {400, QStringLiteral("Bad Request")},
        {401, QStringLiteral("Unauthorized")},
        {403, QStringLiteral("Forbidden")},
        {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")},
        {409, QStringLiteral("Conflict")},
        {410, QStringLiteral("Gone")},
        {422, QStringLiteral("Unprocessable Entity")},
        {429, QStringLiteral("Too Many Requests")},
        {500, QStringLiteral("Internal Server Error")},
        {502, QStringLiteral("Bad Gateway")},
        {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")},
        // The rest of the standard registry, words capitalised.
        {100, QStringLiteral("Continue")},
        {101, QStringLiteral("Switching Protocols")},
        {102, QStringLiteral("Processing")},
        {103, QStringLiteral("Early Hints")},
        {203, QStringLiteral("Non-Authoritative Information")},
        {205, QStringLiteral("Reset Content")},
        {206, QStringLiteral("Partial Content")},
        {207, QStringLiteral("Multi-Status")},
        {208, QStringLiteral("Already Reported")},
        {226, QStringLiteral("IM Used")},
        {300, QStringLiteral("Multiple Choices")},
        {303, QStringLiteral("See Other")},
        {305, QStringLiteral("Use Proxy")},
        {402, QStringLiteral("Payment Required")},
        {406, QStringLiteral("Not Acceptable")},
        {407, QStringLiteral("Proxy Authentication Required")},
        {408, QStringLiteral("Request Timeout")},
        {411, QStringLiteral("Length Required")},
        {412, QStringLiteral("Precondition Failed")},
        {413, QStringLiteral("Content Too Large")},
        {414, QStringLiteral("URI Too Long")},
        {415, QStringLiteral("Unsupported Media Type")},
        {416, QStringLiteral("Range Not Satisfiable")},
        {417, QStringLiteral("Expectation Failed")},
        {418, QStringLiteral("I'm A Teapot")},
        {421, QStringLiteral("Misdirected Request")},
        {423, QStringLiteral("Locked")},
        {424, QStringLiteral("Failed Dependency")},
        {425, QStringLiteral("Too Early")},
        {426, QStringLiteral("Upgrade Required")},
        {428, QStringLiteral("Precondition Required")},
        {431, QStringLiteral("Request Header Fields Too Large")},
        {451, QStringLiteral("Unavailable For Legal Reasons")},
        {501, QStringLiteral("Not Implemented")},
        {505, QStringLiteral("HTTP Version Not Supported")},
        {506, QStringLiteral("Variant Also Negotiates")},
        {507, QStringLiteral("Insufficient Storage")},
        {508, QStringLiteral("Loop Detected")},
        {510, QStringLiteral("Not Extended")},
        {511, QStringLiteral("Network Authentication Required")},
    };
    return table;
}

} // namespace

QString statusText(int code) {
    const auto it = phrases().constFind(code);
    if (it != phrases().cend()) return it.value();
    switch (code / 100) {
    case 1: return QStringLiteral("Informational");
    case 2: return QStringLiteral("Success");
    case 3: return QStringLiteral("Redirection");
    case 4: return QStringLiteral("Client Error");
    case 5: return QStringLiteral("Server Error");
    default: return QStringLiteral("Unknown Status");
    }
}

} // namespace ReasonPhrases
