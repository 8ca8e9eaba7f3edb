#pragma once

#include "common/Expected.h"

#include <QLatin1StringView>
#include <QString>
#include <QUrl>

class Preferences;
class SyncStorage;

// Where the sync database lives, as the preferences "syncBackend" ("webdav",
// the default, or "folder"), "syncWebDAVURL", "syncWebDAVUser" and
// "syncFolder" give it. The WebDAV password and the passphrase are secrets,
// kept in the keyring under keychainService.
struct SyncConfiguration
{
    static constexpr QLatin1StringView keychainService{"com.quillsnap.sync"};
    static constexpr QLatin1StringView passwordAccount{"webdav-password"};
    static constexpr QLatin1StringView passphraseAccount{"passphrase"};
    static constexpr QLatin1StringView webdavBackend{"webdav"};
    static constexpr QLatin1StringView folderBackend{"folder"};

    enum class Backend { webdav, folder };
    Backend backend = Backend::webdav;
    QUrl webdavURL;
    QString webdavUser;
    QString folder;

    bool operator==(const SyncConfiguration&) const = default;

    // The settings, or what is missing or wrong, as a phrase that completes
    // "Sync is not available: ".
    static Expected<SyncConfiguration, QString> fromPreferences(const Preferences& preferences);
    static Expected<SyncConfiguration, QString> make(const QString& backend, const QString& url,
                                                     const QString& user, const QString& folder);
    // HTTPS, or plain HTTP to this computer (localhost, 127.0.0.0/8, ::1):
    // the password and the records must not cross a network in the clear.
    static Expected<QUrl, QString> checkedWebDAVURL(const QString& text);

    // The storage of this configuration; the password is for WebDAV only.
    std::unique_ptr<SyncStorage> makeStorage(const QByteArray& password) const;
};
