#include "Platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

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

void SettingsStore::load() {
    values_ = {};
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) return;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (doc.isObject()) values_ = doc.object();
}

void SettingsStore::save() const {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly)) {
        qWarning("settings: cannot write %s", qPrintable(path_));
        return;
    }
    f.write(QJsonDocument(values_).toJson(QJsonDocument::Indented));
    if (!f.commit()) qWarning("settings: cannot write %s", qPrintable(path_));
}

void SettingsStore::setValue(const QString& key, const QJsonValue& value) {
    if (value.isUndefined()) return remove(key);
    values_.insert(key, value);
    save();
    emit changed(key);
}

void SettingsStore::remove(const QString& key) {
    if (!values_.contains(key)) return;
    values_.remove(key);
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
