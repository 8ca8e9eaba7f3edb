#pragma once

#include "history/HistoryItem.h"

#include <QJsonObject>
#include <QLatin1StringView>
#include <QString>

#include <optional>

// One record of the sync database: its name and the six fields of a capture
// ("id", "text", "timestamp", "characterCount", "wordCount", "deviceName"),
// with the JSON types of the stored history ("timestamp" in seconds since
// 2001-01-01T00:00:00Z). isSynced, cloudRecordID and isEncrypted stay local.
struct CloudRecord
{
    static constexpr QLatin1StringView recordType{"CaptureHistory"};

    QString recordName;
    QJsonObject fields;

    // The record of a capture, named by its cloudRecordID when that is a
    // valid name, else by its id text.
    static CloudRecord fromItem(const HistoryItem& item);
    // The capture, when all six fields are present with their types and the
    // id parses; it comes back synced under the record's name.
    std::optional<HistoryItem> toItem() const;
    // The "timestamp" field; absent when missing or not a valid instant.
    std::optional<QDateTime> timestamp() const;

    // A name that is safe as a file name and in a URL: 1 to 128 characters
    // of A-Z, a-z, 0-9, '.', '_' and '-', not starting with '.'.
    static bool isValidName(const QString& name);
};
