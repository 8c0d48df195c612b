#include "Platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <utility>

#include "Platform/TextFile.h"

SettingsStore& SettingsStore::shared() {
    static SettingsStore* store = new SettingsStore;  // lives as long as the process
    return *store;
}

SettingsStore::SettingsStore() {
    path_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/brimel/settings.json";
    load();
}

void SettingsStore::setFilePath(const QString& path) {
    path_ = path;
    load();
}

namespace {
enum class Reading { absent, readable, unreadable };

// An empty file is no settings yet, like a missing one.
Reading readSettings(const QString& path, QJsonObject& into) {
    QFile f(path);
    if (!f.exists()) return Reading::absent;
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (f.isOpen() && bytes.trimmed().isEmpty()) return Reading::absent;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject()) return Reading::unreadable;
    into = doc.object();
    return Reading::readable;
}
} // namespace

void SettingsStore::load() {
    values_ = {};
    touched_.clear();
    writable_ = true;
    if (readSettings(path_, values_) == Reading::unreadable) setAside();
}

// Moves the unreadable file to a free name beside it, so the user's text outlives the next write.
void SettingsStore::setAside() {
    for (int n = 1; n < 1000; ++n) {
        const QString aside = path_ + (n == 1 ? QStringLiteral(".unreadable") : QStringLiteral(".unreadable-%1").arg(n));
        if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink()) continue;
        if (QFile::rename(path_, aside)) {
            setAside_ = aside;
            return;
        }
        break;
    }
    writable_ = false;
    qWarning("settings: %s cannot be read nor moved aside; settings are not saved", qPrintable(path_));
}

std::optional<QString> SettingsStore::takeSetAsidePath() { return std::exchange(setAside_, std::nullopt); }

void SettingsStore::save() {
    if (!writable_) return;
    // The file may have been edited since it was read: keys added there are kept, and a file that no
    // longer reads is moved aside like one found at the start.
    QJsonObject onDisk;
    switch (readSettings(path_, onDisk)) {
    case Reading::absent: break;
    case Reading::unreadable:
        setAside();
        if (!writable_) return;
        break;
    case Reading::readable:
        // The file holds the truth for every setting not changed here since it was read.
        for (const QString& key : touched_) {
            if (values_.contains(key)) onDisk.insert(key, values_.value(key));
            else onDisk.remove(key);
        }
        values_ = onDisk;
        break;
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    // Not QSaveFile: a write the disk refuses only when its buffer is flushed still replaces the
    // file, with what little got written.
    QString error;
    if (!TextFile::writeBytes(path_, QJsonDocument(values_).toJson(QJsonDocument::Indented), &error))
        qWarning("settings: cannot write %s: %s", qPrintable(path_), qPrintable(error));
}

void SettingsStore::setValue(const QString& key, const QJsonValue& value) {
    if (value.isUndefined()) return remove(key);
    values_.insert(key, value);
    touched_.insert(key);
    save();
    emit changed(key);
}

void SettingsStore::remove(const QString& key) {
    if (!values_.contains(key)) return;
    values_.remove(key);
    touched_.insert(key);
    save();
    emit changed(key);
}

bool SettingsStore::boolean(const QString& key, bool fallback) const {
    const QJsonValue v = value(key);
    return v.isBool() ? v.toBool() : fallback;
}

double SettingsStore::number(const QString& key, double fallback) const {
    const QJsonValue v = value(key);
    return v.isDouble() ? v.toDouble() : fallback;
}

double SettingsStore::number(const QString& key, const NumberRange& range) const {
    const double v = number(key, range.fallback);
    return std::isfinite(v) ? std::clamp(v, range.min, range.max) : range.fallback;
}

double SettingsStore::choice(const QString& key, const QList<double>& choices, double fallback) const {
    const double v = number(key, fallback);
    if (!std::isfinite(v) || choices.isEmpty()) return fallback;
    double best = choices.front();
    for (double c : choices)
        if (std::abs(c - v) < std::abs(best - v) || (std::abs(c - v) == std::abs(best - v) && c > best)) best = c;
    return best;
}

QString SettingsStore::string(const QString& key, const QString& fallback) const {
    const QJsonValue v = value(key);
    return v.isString() ? v.toString() : fallback;
}

std::optional<QStringList> SettingsStore::stringArray(const QString& key) const {
    const QJsonValue v = value(key);
    if (!v.isArray()) return std::nullopt;
    QStringList out;
    for (const QJsonValue& e : v.toArray()) {
        if (!e.isString()) return std::nullopt;
        out << e.toString();
    }
    return out;
}
