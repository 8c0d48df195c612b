#pragma once
// The per-user settings store: a JSON file that keeps value types, written atomically,
// with a change signal so every window follows a change at once. A file it cannot read is moved aside
// (never written over) and the store starts empty. A write keeps what was edited in the file since it
// was read, except the settings changed here meanwhile, and so keeps keys the program does not know.
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

class SettingsStore : public QObject {
    Q_OBJECT
public:
    static SettingsStore& shared();

    // Points the store at another file and loads it (tests use a temp file).
    void setFilePath(const QString& path);
    QString filePath() const { return path_; }
    // Where an unreadable settings file was moved, once: later calls give nothing.
    std::optional<QString> takeSetAsidePath();

    bool contains(const QString& key) const { return values_.contains(key); }
    // Undefined when absent.
    QJsonValue value(const QString& key) const { return values_.value(key); }
    void setValue(const QString& key, const QJsonValue& value);
    void remove(const QString& key);

    bool boolean(const QString& key, bool fallback) const;
    double number(const QString& key, double fallback) const;
    // A number as its control can show it: out of range is brought to the nearer end; missing, not a
    // number or not finite reads as the fallback.
    struct NumberRange {
        double min;
        double max;
        double fallback;
    };
    double number(const QString& key, const NumberRange& range) const;
    // One of choices: another number reads as the nearest choice (the larger on a tie); missing, not a
    // number or not finite reads as the fallback.
    double choice(const QString& key, const QList<double>& choices, double fallback) const;
    QString string(const QString& key, const QString& fallback = {}) const;
    // Absent when the value is missing, not an array, or holds an element that is not a string.
    std::optional<QStringList> stringArray(const QString& key) const;

signals:
    void changed(const QString& key);

private:
    SettingsStore();
    void load();
    void save();
    void setAside();

    QString path_;
    QJsonObject values_;
    QSet<QString> touched_;          // keys set or removed here since the file was read
    bool writable_ = true;           // false while an unreadable file could not be moved aside
    std::optional<QString> setAside_;
};
