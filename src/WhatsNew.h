#pragma once
// The program's own release notes, newest first, and the running version.
#include <QList>
#include <QString>
#include <optional>

struct WhatsNewItem {
    QString icon;  // symbol name
    QString text;
};

struct WhatsNewEntry {
    QString version;  // also the identity
    QString headline;
    QList<WhatsNewItem> items;
    bool operator==(const WhatsNewEntry& o) const { return version == o.version; }
};

namespace WhatsNew {
const QList<WhatsNewEntry>& all();
// Exact string equality; no trimming or numeric comparison.
std::optional<WhatsNewEntry> entry(const QString& version);
}

namespace AppInfo {
// The version compiled in from the build, "0.4.5" when none was given.
const QString& version();
}
