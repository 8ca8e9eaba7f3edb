#include "sync/CloudRecord.h"

#include <QRegularExpression>

namespace {
const QLatin1StringView fieldNames[] = {
    QLatin1StringView("id"),        QLatin1StringView("text"),
    QLatin1StringView("timestamp"), QLatin1StringView("characterCount"),
    QLatin1StringView("wordCount"), QLatin1StringView("deviceName"),
};
} // namespace

bool CloudRecord::isValidName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,127}$"));
    return pattern.match(name).hasMatch();
}

CloudRecord CloudRecord::fromItem(const HistoryItem& item)
{
    CloudRecord record;
    const QString name = item.recordName();
    record.recordName = isValidName(name) ? name : item.idText();
    const QJsonObject json = item.toJson();
    for (const QLatin1StringView key : fieldNames) {
        record.fields.insert(key, json.value(key));
    }
    return record;
}

std::optional<HistoryItem> CloudRecord::toItem() const
{
    QJsonObject json;
    for (const QLatin1StringView key : fieldNames) {
        if (!fields.contains(key)) {
            return std::nullopt;
        }
        json.insert(key, fields.value(key));
    }
    json.insert(QLatin1StringView("isSynced"), true);
    json.insert(QLatin1StringView("isEncrypted"), false);
    json.insert(QLatin1StringView("cloudRecordID"), recordName);
    return HistoryItem::fromJson(json);
}

std::optional<QDateTime> CloudRecord::timestamp() const
{
    const QJsonValue value = fields.value(QLatin1StringView("timestamp"));
    if (!value.isDouble()) {
        return std::nullopt;
    }
    return HistoryItem::fromReferenceSeconds(value.toDouble());
}
