#include "API/KeyValueItem.h"

#include <QHashFunctions>

QJsonObject KeyValueItem::toJson() const {
    return QJsonObject{{QStringLiteral("id"), id.toString(QUuid::WithoutBraces).toUpper()},
                       {QStringLiteral("key"), key},
                       {QStringLiteral("value"), value},
                       {QStringLiteral("enabled"), enabled}};
}

std::optional<KeyValueItem> KeyValueItem::fromJson(const QJsonObject& object) {
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue value = object.value(QStringLiteral("value"));
    const QJsonValue enabled = object.value(QStringLiteral("enabled"));
    if (!id.isString() || !key.isString() || !value.isString() || !enabled.isBool()) return std::nullopt;
    const QUuid uuid = QUuid::fromString(id.toString());
    if (uuid.isNull() && id.toString() != QStringLiteral("00000000-0000-0000-0000-000000000000")) return std::nullopt;
    return KeyValueItem{uuid, key.toString(), value.toString(), enabled.toBool(), nullptr};
}

size_t qHash(const KeyValueItem& item, size_t seed) {
    return qHashMulti(seed, item.id, item.key, item.value, item.enabled);
}
