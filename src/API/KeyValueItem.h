#pragma once
// One header or query-parameter row, key and value as written (not encoded).
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

struct KeyValueItem {
    QUuid id = QUuid::createUuid();
    QString key;
    QString value;
    bool enabled = true;

    bool operator==(const KeyValueItem& other) const = default;
    // Same key, value and flag: what a file holds of the row.
    bool sameContent(const KeyValueItem& other) const {
        return key == other.key && value == other.value && enabled == other.enabled;
    }

    // {"id", "key", "value", "enabled"}; decoding needs all four with their types.
    QJsonObject toJson() const;
    static std::optional<KeyValueItem> fromJson(const QJsonObject& object);
};

size_t qHash(const KeyValueItem& item, size_t seed = 0);
