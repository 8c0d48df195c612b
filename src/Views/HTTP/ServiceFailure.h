#pragma once
// Catches what the request service reports as failed while it is alive, so the caller can tell
// the user why an operation had no effect instead of leaving them guessing.
#include <QMetaObject>
#include <QString>

class APIService;

class ServiceFailure {
public:
    explicit ServiceFailure(APIService& service);
    ~ServiceFailure();
    ServiceFailure(const ServiceFailure&) = delete;
    ServiceFailure& operator=(const ServiceFailure&) = delete;

    // The first failure reported, empty when none.
    const QString& message() const { return message_; }
    // Shows the failure, if any, as a warning alert titled title; true when one was shown.
    bool report(const QString& title) const;

private:
    QMetaObject::Connection connection_;
    QString message_;
};
