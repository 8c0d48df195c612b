#include "API/HTTPError.h"

QString HTTPError::errorDescription() const {
    switch (kind_) {
    case Kind::invalidURL: return QStringLiteral("Invalid URL: ") + payload_;
    case Kind::noResponse: return QStringLiteral("No HTTP response received.");
    case Kind::invalidHeader:
        return QStringLiteral("Invalid header \"%1\": a name may hold only letters, digits and !#$%&'*+-.^_`|~, "
                              "a value only visible characters, spaces and tabs.")
            .arg(payload_);
    case Kind::transport: return payload_;
    case Kind::tooManyRedirects:
        return QStringLiteral("Too many redirects (more than %1); the server may be redirecting in a loop.").arg(payload_);
    case Kind::badContent: return QStringLiteral("The response body could not be decompressed: %1.").arg(payload_);
    case Kind::cancelled: return QStringLiteral("The request was cancelled.");
    case Kind::timedOut:
        return payload_.isEmpty() ? QStringLiteral("The request timed out.")
                                  : QStringLiteral("The request timed out: it took longer than %1.").arg(payload_);
    case Kind::bodyTooLarge:
        return QStringLiteral("Response body too large: over %1.").arg(payload_);
    }
    return payload_;
}
