#include "API/ResponseHistory.h"

#include <QDateTime>

ResponseHistory::ResponseHistory(QObject* parent) : QObject(parent) {}

void ResponseHistory::record(const HTTPRequest& request, const QString& resolvedURL, const HTTPResponse& response) {
    ResponseHistoryEntry entry;
    entry.timestamp = QDateTime::currentDateTime();
    entry.requestName = request.name;
    entry.method = request.method;
    entry.url = resolvedURL;
    entry.status = response.status;
    entry.statusText = response.statusText;
    entry.duration = response.duration;
    entry.size = response.size;

    entries_.prepend(entry);
    responses_.insert(entry.id, response);
    requestSnapshots_.insert(entry.id, request);
    bodyBytes_ += response.body.size();
    // A large download sent again and again would otherwise hold every copy of its body.
    while (entries_.size() > maxEntries || (entries_.size() > 1 && bodyBytes_ > maxBodyBytes)) {
        const QUuid dropped = entries_.takeLast().id;
        bodyBytes_ -= responses_.take(dropped).body.size();
        requestSnapshots_.remove(dropped);
    }
    emit entriesChanged();
}

std::optional<HTTPResponse> ResponseHistory::response(const QUuid& entryId) const {
    const auto it = responses_.constFind(entryId);
    if (it == responses_.cend()) return std::nullopt;
    return it.value();
}

std::optional<HTTPRequest> ResponseHistory::request(const QUuid& entryId) const {
    const auto it = requestSnapshots_.constFind(entryId);
    if (it == requestSnapshots_.cend()) return std::nullopt;
    return it.value();
}

void ResponseHistory::clear() {
    entries_.clear();
    responses_.clear();
    requestSnapshots_.clear();
    bodyBytes_ = 0;
    emit entriesChanged();
}
