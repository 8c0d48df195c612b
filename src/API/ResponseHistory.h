#pragma once
// The latest sends of one window, newest first, at most maxEntries and maxBodyBytes of bodies, in
// memory only. Each entry keeps the full response and the request as it stood when sent, so an old
// result can be shown again without sending. Main thread only.
#include <QHash>
#include <QList>
#include <QObject>
#include <QUuid>
#include <optional>

#include "API/HTTPRequest.h"
#include "API/HTTPResponse.h"
#include "API/ResponseHistoryEntry.h"

class ResponseHistory : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxEntries = 50;
    // The bodies kept together stay within this; older entries go first, the newest always stays.
    static constexpr qint64 maxBodyBytes = 256LL * 1024 * 1024;

    explicit ResponseHistory(QObject* parent = nullptr);

    const QList<ResponseHistoryEntry>& entries() const { return entries_; }

    // Adds an entry at the front and drops the oldest beyond maxEntries. `request` is the request
    // before substitution; `resolvedURL` its URL after substitution.
    void record(const HTTPRequest& request, const QString& resolvedURL, const HTTPResponse& response);
    std::optional<HTTPResponse> response(const QUuid& entryId) const;
    std::optional<HTTPRequest> request(const QUuid& entryId) const;
    void clear();

signals:
    void entriesChanged();

private:
    QList<ResponseHistoryEntry> entries_;
    QHash<QUuid, HTTPResponse> responses_;
    QHash<QUuid, HTTPRequest> requestSnapshots_;
    qint64 bodyBytes_ = 0;  // of the responses held
};
