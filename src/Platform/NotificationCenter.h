#pragma once
// Application-wide named notifications, posted with no sender identity.
#include <QObject>
#include <QString>

class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& shared();
    void post(const QString& name) { emit posted(name); }
signals:
    void posted(const QString& name);
};
