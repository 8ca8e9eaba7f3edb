#pragma once

#include "common/Expected.h"
#include "sync/CloudError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLatin1StringView>
#include <QString>

// The stored form of the sync database (docs/sync-format.md): a key-check
// file at the root, and one sealed file per record in "records/". Records are
// sealed with AES-256-GCM under a key derived from the sync passphrase with
// scrypt and a random salt; each record names the salt it was sealed under,
// so records of two machines that set up the database at the same moment
// stay readable.
namespace SyncFormat {

inline constexpr QLatin1StringView keyCheckFile{"quillsnap-sync.json"};
inline constexpr QLatin1StringView recordsFolder{"records"};
inline constexpr QLatin1StringView recordSuffix{".qsr"};
inline constexpr int version = 1;
inline constexpr qsizetype saltSize = 16;
inline constexpr qsizetype keySize = 32;
// scrypt cost of format version 1: 32 MiB of memory.
inline constexpr quint64 scryptN = quint64(1) << 15;
inline constexpr quint64 scryptR = 8;
inline constexpr quint64 scryptP = 1;
// Plaintexts are padded to a multiple of this, so that sizes tell less.
inline constexpr qsizetype paddingBlock = 256;

// The key-check file as read: the salt and the sealed check text.
struct KeyCheck
{
    QByteArray salt;
    QByteArray sealedCheck;
};

QString recordPath(const QString& recordName);
// The record name of a file in the records folder; empty when the file is
// not a record (a temporary file, a sync tool's conflict copy).
QString recordNameOfFile(const QString& fileName);

QByteArray newSalt();
// Slow on purpose (scrypt): call it on a worker thread. Empty on failure.
QByteArray deriveKey(const QByteArray& passphrase, const QByteArray& salt);

// A new key-check file for key, which was derived with salt.
QByteArray keyCheckFileFor(const QByteArray& key, const QByteArray& salt);
Expected<KeyCheck, CloudError> parseKeyCheck(const QByteArray& file);
bool keyOpens(const KeyCheck& check, const QByteArray& key);

QByteArray sealRecord(const QByteArray& key, const QByteArray& salt, const QString& recordName,
                      const QJsonObject& fields);
// The salt a record file names; empty when the file is too short to be one.
QByteArray saltOfRecord(const QByteArray& file);
// The fields, when the file is a complete record of that name sealed under
// key.
std::optional<QJsonObject> openRecord(const QByteArray& key, const QString& recordName,
                                      const QByteArray& file);

} // namespace SyncFormat
