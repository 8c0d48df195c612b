#include "API/HTTPError.h"

QString HTTPError::errorDescription() const {
    switch (kind_) {
    case Kind::invalidURL: return QStringLiteral("Invalid URL: ") + payload_;
    case Kind::noResponse: return QStringLiteral("No HTTP response received.");
    case Kind::invalidHeader:
        return QStringLiteral("Invalid header \"%1\": a header name or value cannot contain a line break.")
            .arg(payload_);
    case Kind::transport: return payload_;
    }
    return payload_;
}
