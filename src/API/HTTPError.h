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
        tooManyRedirects, // the redirects went on past the most that are followed; payload: that number
        badContent,     // the body's content coding could not be undone; payload: why
        cancelled,      // the user stopped the send
        timedOut,       // no answer within the time limit; payload: the limit as text, empty for silence
    };

    static HTTPError invalidURL(const QString& text) { return {Kind::invalidURL, text}; }
    static HTTPError noResponse() { return {Kind::noResponse, {}}; }
    static HTTPError invalidHeader(const QString& name) { return {Kind::invalidHeader, name}; }
    static HTTPError transport(const QString& description) { return {Kind::transport, description}; }
    static HTTPError bodyTooLarge(const QString& limit) { return {Kind::bodyTooLarge, limit}; }
    static HTTPError tooManyRedirects(int most) { return {Kind::tooManyRedirects, QString::number(most)}; }
    static HTTPError badContent(const QString& why) { return {Kind::badContent, why}; }
    static HTTPError cancelled() { return {Kind::cancelled, {}}; }
    // A silence longer than the transfer time-out (no payload) or a send longer than the total limit.
    static HTTPError timedOut(const QString& totalLimit = {}) { return {Kind::timedOut, totalLimit}; }

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
