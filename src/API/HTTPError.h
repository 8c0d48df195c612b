#pragma once
// Why a send produced no response.
#include <QString>

class HTTPError {
public:
    enum class Kind {
        invalidURL,     // the URL text (after substitution) is no valid URL; payload: that text
        noResponse,     // the exchange gave no HTTP response (e.g. a non-HTTP scheme)
        invalidHeader,  // a header name is no token or a value holds a control character; payload: the name
        transport,      // the exchange failed: refused, name lookup, time-out, TLS; payload: the description
        bodyTooLarge,   // the body passed the size limit and the transfer was stopped; payload: the limit as text
        tooManyHeaders, // the response's header fields could not be read; payload: the most that are read
    };

    static HTTPError invalidURL(const QString& text) { return {Kind::invalidURL, text}; }
    static HTTPError noResponse() { return {Kind::noResponse, {}}; }
    static HTTPError invalidHeader(const QString& name) { return {Kind::invalidHeader, name}; }
    static HTTPError transport(const QString& description) { return {Kind::transport, description}; }
    static HTTPError bodyTooLarge(const QString& limit) { return {Kind::bodyTooLarge, limit}; }
    static HTTPError tooManyHeaders(int most) { return {Kind::tooManyHeaders, QString::number(most)}; }

    Kind kind() const { return kind_; }
    const QString& payload() const { return payload_; }
    // The text shown as the status text of the failed send.
    QString errorDescription() const;

    friend bool operator==(const HTTPError&, const HTTPError&) = default;

private:
    HTTPError(Kind kind, QString payload) : kind_(kind), payload_(std::move(payload)) {}

    Kind kind_;
    QString payload_;
};
