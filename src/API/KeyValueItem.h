#pragma once
// One header or query-parameter row, key and value as written (not encoded).
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

struct KeyValueItem {
    // How a URL query wrote a row ("flag", "q=a+b"), with the key and value it was read as.
    struct WrittenQuery {
        QString text;
        QString key;
        QString value;
    };

    QUuid id = QUuid::createUuid();
    QString key;
    QString value;
    bool enabled = true;
    // Set for rows read from a URL query, so that an unchanged row is sent and written back as it
    // was written. Not part of the value: equality ignores it.
    std::shared_ptr<const WrittenQuery> written = nullptr;

    bool operator==(const KeyValueItem& other) const {
        return id == other.id && key == other.key && value == other.value && enabled == other.enabled;
    }
    // Same key, value and flag: what a file holds of the row.
    bool sameContent(const KeyValueItem& other) const {
        return key == other.key && value == other.value && enabled == other.enabled;
    }

    // Remembers text as the way a query wrote this row as it now is.
    void setWrittenQuery(const QString& text) { written = std::make_shared<const WrittenQuery>(WrittenQuery{text, key, value}); }
    // That text, while the key and value are still the ones it was read as.
    std::optional<QString> writtenQuery() const {
        if (!written || written->key != key || written->value != value) return std::nullopt;
        return written->text;
    }

    // {"id", "key", "value", "enabled"}; decoding needs all four with their types.
    QJsonObject toJson() const;
    static std::optional<KeyValueItem> fromJson(const QJsonObject& object);
};

size_t qHash(const KeyValueItem& item, size_t seed = 0);
