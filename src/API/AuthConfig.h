#pragma once
// The editable view of a request's authentication. A request keeps no authentication record of its
// own: it lives in the request's headers and query parameters, which this reads and rewrites.
#include "API/APIKeyLocation.h"
#include "API/AuthType.h"
#include "API/HTTPRequest.h"

#include <QString>
#include <QStringList>

struct AuthConfig {
    AuthType type = AuthType::none;
    QString token{};
    QString username{};
    QString password{};
    QString keyName{};  // empty means "X-API-Key" when applied
    QString keyValue{};
    APIKeyLocation keyIn = APIKeyLocation::header;

    bool operator==(const AuthConfig& other) const = default;

    static AuthConfig empty() { return {}; }

    // Writes this configuration into the request: first every credential row goes (Authorization
    // and known API-key headers in any case, known API-key parameters, enabled or not), then this
    // configuration's own row is added, a header first, a parameter last. Other rows keep their order.
    void apply(HTTPRequest& request) const;
    // The configuration the request's enabled headers and parameters describe.
    static AuthConfig from(const HTTPRequest& request);

    // The Authorization value for Basic credentials. Credentials holding a {{name}} reference stay
    // in plain text ("Basic user:{{password}}", or "Basic {{pair}}" for a ready-made pair), to be
    // encoded once the reference is substituted; others are encoded now.
    static QString basicValue(const QString& username, const QString& password);
    // An Authorization value as it is sent: "Basic user:password" in plain text is encoded
    // (Base64 never holds a ":"); any other value is returned as it is.
    static QString encodedForSending(const QString& value);

    static const QStringList& apiKeyHeaderNames();  // lower case
    static const QStringList& apiKeyQueryNames();   // lower case
};
