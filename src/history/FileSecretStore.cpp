#include "history/FileSecretStore.h"

#include "common/AppPaths.h"
#include "common/AtomicFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QLoggingCategory>

#include <optional>

Q_LOGGING_CATEGORY(lcFileSecrets, "quillsnap.secrets.file")

namespace {

constexpr int formatVersion = 1;
// Far above a few keys; a bigger file is not ours.
constexpr qint64 maximumFileSize = 1024 * 1024;
// Another quillsnap process (the CLI) may be changing the file.
constexpr int lockTimeoutMs = 3000;

std::optional<QByteArray> decodeSecret(const QJsonValue& value)
{
    if (!value.isString()) {
        return std::nullopt;
    }
    auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return decoded.decoded;
}

} // namespace

FileSecretStore::FileSecretStore(QString path) : m_path(std::move(path)) {}

QString FileSecretStore::defaultPath()
{
    return AppPaths::dataDir() + QStringLiteral("/secrets.json");
}

QString FileSecretStore::displayName() const
{
    return QCoreApplication::translate("FileSecretStore", "a private file (%1)").arg(m_path);
}

FileSecretStore::Load FileSecretStore::load(QJsonObject& secrets) const
{
    QFile file(m_path);
    if (!file.exists()) {
        return Load::Missing;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcFileSecrets, "cannot open %s: %s", qPrintable(m_path),
                  qPrintable(file.errorString()));
        return Load::Unreadable;
    }
    if (file.size() > maximumFileSize) {
        qCWarning(lcFileSecrets, "%s is too large to be a secrets file", qPrintable(m_path));
        return Load::Corrupt;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcFileSecrets, "cannot read %s: %s", qPrintable(m_path),
                  qPrintable(file.errorString()));
        return Load::Unreadable;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    const QJsonObject root = document.object();
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        root.value(QStringLiteral("format")).toInt() != formatVersion ||
        !root.value(QStringLiteral("secrets")).isObject()) {
        qCWarning(lcFileSecrets, "%s is damaged or of an unknown format", qPrintable(m_path));
        return Load::Corrupt;
    }
    secrets = root.value(QStringLiteral("secrets")).toObject();
    // Check every value now, so that a damaged entry is found before a
    // write would carry it over.
    for (auto service = secrets.constBegin(); service != secrets.constEnd(); ++service) {
        if (!service->isObject()) {
            return Load::Corrupt;
        }
        const QJsonObject accounts = service->toObject();
        for (auto account = accounts.constBegin(); account != accounts.constEnd(); ++account) {
            if (!decodeSecret(*account)) {
                qCWarning(lcFileSecrets, "%s holds a damaged entry", qPrintable(m_path));
                return Load::Corrupt;
            }
        }
    }
    return Load::Ok;
}

bool FileSecretStore::save(const QJsonObject& secrets) const
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), formatVersion);
    root.insert(QStringLiteral("secrets"), secrets);
    const auto written =
        AtomicFile::writePrivate(m_path, QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!written) {
        qCWarning(lcFileSecrets, "cannot write %s: %s", qPrintable(m_path),
                  qPrintable(written.error()));
        return false;
    }
    return true;
}

bool FileSecretStore::setAsideDamagedFile() const
{
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'"));
    const QString aside = m_path + QStringLiteral(".damaged-") + stamp;
    if (!QFile::rename(m_path, aside)) {
        qCWarning(lcFileSecrets, "cannot move the damaged %s aside", qPrintable(m_path));
        return false;
    }
    qCWarning(lcFileSecrets, "moved the damaged secrets file aside to %s", qPrintable(aside));
    return true;
}

SecretStore::Lookup FileSecretStore::read(const QString& service, const QString& account)
{
    QJsonObject secrets;
    switch (load(secrets)) {
    case Load::Missing:
        return {Status::NotFound, {}};
    case Load::Unreadable:
    case Load::Corrupt:
        return {Status::Unavailable, {}};
    case Load::Ok:
        break;
    }
    const QJsonValue value = secrets.value(service).toObject().value(account);
    if (value.isUndefined()) {
        return {Status::NotFound, {}};
    }
    return {Status::Ok, *decodeSecret(value)};
}

SecretStore::Status FileSecretStore::write(const QString& service, const QString& account,
                                           const QByteArray& secret)
{
    if (!AtomicFile::ensurePrivateDir(QFileInfo(m_path).absolutePath())) {
        return Status::Unavailable;
    }
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(lockTimeoutMs)) {
        qCWarning(lcFileSecrets, "%s is locked by another process", qPrintable(m_path));
        return Status::Unavailable;
    }
    QJsonObject secrets;
    switch (load(secrets)) {
    case Load::Missing:
    case Load::Ok:
        break;
    case Load::Unreadable:
        // Perhaps a passing I/O fault: do not replace what may be fine.
        return Status::Unavailable;
    case Load::Corrupt:
        // The file is kept for recovery by hand; the store starts afresh.
        if (!setAsideDamagedFile()) {
            return Status::Unavailable;
        }
        secrets = {};
        break;
    }
    QJsonObject accounts = secrets.value(service).toObject();
    accounts.insert(account, QString::fromLatin1(secret.toBase64()));
    secrets.insert(service, accounts);
    return save(secrets) ? Status::Ok : Status::Unavailable;
}

SecretStore::Status FileSecretStore::remove(const QString& service, const QString& account)
{
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (QFileInfo::exists(QFileInfo(m_path).absolutePath()) && !lock.tryLock(lockTimeoutMs)) {
        return Status::Unavailable;
    }
    QJsonObject secrets;
    switch (load(secrets)) {
    case Load::Missing:
        return Status::Ok;
    case Load::Unreadable:
    case Load::Corrupt:
        // Whether the item is in there cannot be told.
        return Status::Unavailable;
    case Load::Ok:
        break;
    }
    QJsonObject accounts = secrets.value(service).toObject();
    if (!accounts.contains(account)) {
        return Status::Ok;
    }
    accounts.remove(account);
    if (accounts.isEmpty()) {
        secrets.remove(service);
    } else {
        secrets.insert(service, accounts);
    }
    return save(secrets) ? Status::Ok : Status::Unavailable;
}
