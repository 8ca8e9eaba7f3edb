#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One captured text and the facts the history window shows about it. A plain
// value: records are identified by `id` alone, there is no field-wise equality.
//
// Stored form: a JSON object with the keys "id", "text", "timestamp",
// "characterCount", "wordCount", "deviceName", "isSynced", "cloudRecordID"
// (only when present) and "isEncrypted". "timestamp" is seconds since
// 2001-01-01T00:00:00Z as a double, so records written elsewhere in that form
// read back the same.
class HistoryItem
{
public:
    QUuid id;
    QString text;
    QDateTime timestamp; // an instant, millisecond precision; decoded ones are in UTC
    qint64 characterCount = 0;
    qint64 wordCount = 0;
    QString deviceName;
    bool isSynced = false;
    std::optional<QString> cloudRecordID;
    bool isEncrypted = false;

    // A new record with a fresh random id. The counts are computed here once
    // and never again: decoded records keep the counts they carry.
    static HistoryItem create(const QString& text,
                              const QDateTime& timestamp = QDateTime::currentDateTime(),
                              const QString& deviceName = defaultDeviceName());

    // Extended grapheme clusters of text.
    static qint64 countCharacters(const QString& text);
    // Pieces between U+0020 spaces, empty pieces dropped. The comparison is per
    // grapheme cluster: a space carrying a combining mark separates nothing.
    static qint64 countWords(const QString& text);

    // The pretty host name (PRETTY_HOSTNAME of /etc/machine-info) when set,
    // else the host name, else "Unknown".
    static QString defaultDeviceName();
    // PRETTY_HOSTNAME from the content of a machine-info file, unquoted.
    static std::optional<QString> prettyHostNameFrom(const QByteArray& machineInfo);

    // Canonical upper-case UUID text without braces.
    QString idText() const;
    // Name of the cloud record that holds this capture: cloudRecordID when
    // known, else the id text.
    QString recordName() const;

    QJsonObject toJson() const;
    // Fails on a missing required key, a value of the wrong JSON type, an id
    // that is not a UUID, a fractional count or a timestamp out of range.
    static std::optional<HistoryItem> fromJson(const QJsonObject& object);

    static QJsonArray encodeList(const QList<HistoryItem>& items);
    // Fails as a whole when any element fails.
    static std::optional<QList<HistoryItem>> decodeList(const QJsonArray& array);

    // Compact UTF-8 JSON text of the list; fails when a record has no valid
    // timestamp.
    static std::optional<QByteArray> encodeListJson(const QList<HistoryItem>& items);
    // Fails unless data is a JSON array of valid records.
    static std::optional<QList<HistoryItem>> decodeListJson(const QByteArray& data);

    // Seconds since 2001-01-01T00:00:00Z, the stored form of instants.
    static double toReferenceSeconds(const QDateTime& t);
    static std::optional<QDateTime> fromReferenceSeconds(double seconds);
};
