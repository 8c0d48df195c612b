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
    case Kind::tooManyHeaders:
        return QStringLiteral("Too many response header fields (over %1).").arg(payload_);
    case Kind::bodyTooLarge:
        return QStringLiteral("Response body too large: over %1.").arg(payload_);
    }
    return payload_;
}
