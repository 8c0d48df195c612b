#pragma once
// Turns a request into a network exchange: expands {{name}} references from the active
// environment, builds the URL with its query rows, sends over a fresh session per call and packs
// what comes back into an HTTPResponse. Keeps no state beyond its time-out and size settings.
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

#include "API/HTTPError.h"
#include "API/HTTPRequest.h"
#include "API/HTTPResponse.h"
#include "Platform/Completion.h"

// The outcome of one send. Exactly one of response and error is set.
struct HTTPSendResult {
    QUuid requestId;                      // the id of the request that was sent
    std::optional<HTTPResponse> response; // any HTTP answer, 4xx and 5xx included
    std::optional<HTTPError> error;

    bool ok() const { return response.has_value(); }
    // The response to show: the received one, or the failure as status 0 with the error's
    // description as its status text.
    HTTPResponse responseOrFailure() const;
};

namespace HTTPClient {

using Environment = QMap<QString, QString>;

// The text with every {{name}} whose name the environment holds replaced by its value, in one pass.
QString expand(const QString& text, const Environment& environment);
// A copy with the URL, the keys and values of every header and parameter row, and the body expanded.
HTTPRequest substitute(const HTTPRequest& request, const Environment& environment);

// Rows that take part in sending: enabled, with a non-empty key; in order.
QList<KeyValueItem> activeRows(const QList<KeyValueItem>& rows);
// The Content-Type sent with a body when the request sets none.
QString defaultContentType(BodyKind kind);
// The URL as it is sent: the text with the active parameter rows appended after its own query
// (rows as written while unchanged, otherwise encoded), and only the characters that cannot
// travel raw escaped. Absent when the text is empty or no valid absolute URL with a host.
std::optional<QString> composeURL(const HTTPRequest& request);

// Whether a header row can go out: its name a token, its value free of control characters.
bool isSendableHeader(const KeyValueItem& row);
// Content-Length and Transfer-Encoding, any case: the sender frames the body itself, so such rows
// are not sent (they could contradict the body that goes out).
bool isFramingHeader(const QString& name);
// Fields that carry credentials (Authorization, Proxy-Authorization, Cookie, an API-key header):
// they go to the request's own scheme, host and port only, never to another one on a redirect.
bool isCredentialHeader(const QString& name);

// Stops a send: its completion then reports cancelled. Does nothing once the send has completed.
using Cancel = std::function<void()>;

// Substitutes, sends and calls done on the calling (main) thread with the outcome. Never calls
// done synchronously. A context object on done drops the call (and stops the exchange) once it
// is gone. Redirects are followed up to kMaxRedirects.
Cancel send(const HTTPRequest& request, const Environment& environment, Completion<HTTPSendResult> done);

inline constexpr int kMaxRedirects = 20;

// Inactivity time-out of one exchange (60 s unless changed, e.g. by tests).
int timeoutMs();
void setTimeoutMs(int milliseconds);
// The longest a whole send may take, redirects included (5 minutes unless changed, e.g. by tests),
// so a server that trickles its answer cannot keep a send open for ever.
int totalTimeoutMs();
void setTotalTimeoutMs(int milliseconds);

// The most bytes a response body may hold once its content coding is undone (50 MB unless
// changed, e.g. by tests). A larger body stops the transfer and the send fails with bodyTooLarge,
// so a server that streams without end, or a small body that inflates without end, cannot fill
// the memory.
qint64 maxBodyBytes();
void setMaxBodyBytes(qint64 bytes);

} // namespace HTTPClient
