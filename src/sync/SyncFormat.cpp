#include "sync/SyncFormat.h"

#include "history/EncryptionService.h"
#include "sync/CloudRecord.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace SyncFormat {

namespace {

const QByteArray recordMagic("QSR\x01", 4);
constexpr qsizetype headerSize = 4 + saltSize;
const QByteArray checkText("quillsnap-sync key check");
const QLatin1StringView formatName("quillsnap-sync");

QString tr(const char* text)
{
    return QCoreApplication::translate("SyncFormat", text);
}

CloudError damaged()
{
    return {CloudError::Code::incompatibleFormat,
            tr("The sync data on the server or in the folder is damaged (%1 cannot be read).")
                .arg(keyCheckFile)};
}

QByteArray recordAad(const QByteArray& header, const QString& recordName)
{
    return header + recordName.toUtf8();
}

} // namespace

QString recordPath(const QString& recordName)
{
    return recordsFolder + QLatin1Char('/') + recordName + recordSuffix;
}

QString recordNameOfFile(const QString& fileName)
{
    if (!fileName.endsWith(recordSuffix)) {
        return {};
    }
    const QString name = fileName.chopped(recordSuffix.size());
    return CloudRecord::isValidName(name) ? name : QString();
}

QByteArray newSalt()
{
    QByteArray salt(saltSize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), int(saltSize)) != 1) {
        return {};
    }
    return salt;
}

QByteArray deriveKey(const QByteArray& passphrase, const QByteArray& salt)
{
    if (salt.size() != saltSize) {
        return {};
    }
    QByteArray key(keySize, '\0');
    const quint64 maxMemory = 128 * scryptR * scryptN * 2;
    if (EVP_PBE_scrypt(passphrase.constData(), size_t(passphrase.size()),
                       reinterpret_cast<const unsigned char*>(salt.constData()),
                       size_t(salt.size()), scryptN, scryptR, scryptP, maxMemory,
                       reinterpret_cast<unsigned char*>(key.data()), size_t(keySize)) != 1) {
        return {};
    }
    return key;
}

QByteArray keyCheckFileFor(const QByteArray& key, const QByteArray& salt)
{
    const auto sealed = EncryptionService::seal(key, checkText, salt);
    if (!sealed) {
        return {};
    }
    const QJsonObject kdf{{QStringLiteral("name"), QStringLiteral("scrypt")},
                          {QStringLiteral("N"), qint64(scryptN)},
                          {QStringLiteral("r"), qint64(scryptR)},
                          {QStringLiteral("p"), qint64(scryptP)}};
    const QJsonObject file{
        {QStringLiteral("format"), formatName},
        {QStringLiteral("version"), version},
        {QStringLiteral("kdf"), kdf},
        {QStringLiteral("salt"), QString::fromLatin1(salt.toBase64())},
        {QStringLiteral("check"), QString::fromLatin1(sealed->toBase64())},
    };
    return QJsonDocument(file).toJson(QJsonDocument::Indented);
}

Expected<KeyCheck, CloudError> parseKeyCheck(const QByteArray& data)
{
    const QJsonObject file = QJsonDocument::fromJson(data).object();
    if (file.value(QLatin1StringView("format")).toString() != formatName) {
        return unexpected(damaged());
    }
    const QJsonValue fileVersion = file.value(QLatin1StringView("version"));
    if (!fileVersion.isDouble()) {
        return unexpected(damaged());
    }
    if (fileVersion.toDouble() != version) {
        return unexpected(CloudError{
            CloudError::Code::incompatibleFormat,
            tr("The sync data was written by another version of quillsnap (format %1); this "
               "version reads format %2.")
                .arg(fileVersion.toDouble())
                .arg(version)});
    }
    // The cost is fixed by the version: a file cannot make us spend more.
    const QJsonObject kdf = file.value(QLatin1StringView("kdf")).toObject();
    if (kdf.value(QLatin1StringView("name")).toString() != QLatin1StringView("scrypt") ||
        kdf.value(QLatin1StringView("N")).toDouble() != double(scryptN) ||
        kdf.value(QLatin1StringView("r")).toDouble() != double(scryptR) ||
        kdf.value(QLatin1StringView("p")).toDouble() != double(scryptP)) {
        return unexpected(damaged());
    }
    KeyCheck check;
    const auto decode = [&file](QLatin1StringView key) {
        return QByteArray::fromBase64Encoding(file.value(key).toString().toLatin1(),
                                              QByteArray::AbortOnBase64DecodingErrors);
    };
    const auto salt = decode(QLatin1StringView("salt"));
    const auto sealed = decode(QLatin1StringView("check"));
    if (!salt || !sealed || salt.decoded.size() != saltSize) {
        return unexpected(damaged());
    }
    check.salt = salt.decoded;
    check.sealedCheck = sealed.decoded;
    return check;
}

bool keyOpens(const KeyCheck& check, const QByteArray& key)
{
    const auto opened = EncryptionService::open(key, check.sealedCheck, check.salt);
    return opened && *opened == checkText;
}

QByteArray sealRecord(const QByteArray& key, const QByteArray& salt, const QString& recordName,
                      const QJsonObject& fields)
{
    QByteArray plaintext = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    const qsizetype padded = (plaintext.size() / paddingBlock + 1) * paddingBlock;
    plaintext.append(padded - plaintext.size(), ' ');
    const QByteArray header = recordMagic + salt;
    const auto sealed = EncryptionService::seal(key, plaintext, recordAad(header, recordName));
    if (!sealed || salt.size() != saltSize) {
        return {};
    }
    return header + *sealed;
}

QByteArray saltOfRecord(const QByteArray& file)
{
    if (file.size() < headerSize + EncryptionService::nonceSize + EncryptionService::tagSize ||
        !file.startsWith(recordMagic)) {
        return {};
    }
    return file.mid(recordMagic.size(), saltSize);
}

std::optional<QJsonObject> openRecord(const QByteArray& key, const QString& recordName,
                                      const QByteArray& file)
{
    if (saltOfRecord(file).isEmpty()) {
        return std::nullopt;
    }
    const auto plaintext = EncryptionService::open(key, file.mid(headerSize),
                                                   recordAad(file.left(headerSize), recordName));
    if (!plaintext) {
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*plaintext, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

} // namespace SyncFormat
