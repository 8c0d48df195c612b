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

    // Writes this configuration into the request in place of `previous`, the configuration the
    // request carried until now. Only the row that `previous` wrote and the row this one writes
    // are touched: an edited row keeps its place, a new header goes first, a new parameter last,
    // and every other row stays as it is.
    void apply(HTTPRequest& request, const AuthConfig& previous) const;
    // The same, in place of the authentication the request's rows describe.
    void apply(HTTPRequest& request) const { apply(request, from(request)); }
    // The configuration the request's enabled headers and parameters describe.
    static AuthConfig from(const HTTPRequest& request);

    static const QStringList& apiKeyHeaderNames();  // lower case
    static const QStringList& apiKeyQueryNames();   // lower case
};
