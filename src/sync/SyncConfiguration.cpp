#include "sync/SyncConfiguration.h"

#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/FolderStorage.h"
#include "sync/WebDAVStorage.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>

namespace {
QString tr(const char* text)
{
    return QCoreApplication::translate("SyncConfiguration", text);
}
} // namespace

Expected<QUrl, QString> SyncConfiguration::checkedWebDAVURL(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return unexpected(tr("no WebDAV address is set"));
    }
    const QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        return unexpected(tr("\"%1\" is not a WebDAV address (https://...)").arg(trimmed));
    }
    if (!url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment()) {
        return unexpected(tr("the WebDAV address must not contain a user name, \"?\" or \"#\""));
    }
    if (scheme == QLatin1String("http")) {
        const QString host = url.host().toLower();
        const bool loopback = host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
        if (!loopback) {
            return unexpected(tr("the WebDAV address must start with https:// (plain http:// is "
                                 "allowed for this computer only)"));
        }
    }
    return url;
}

Expected<SyncConfiguration, QString> SyncConfiguration::make(const QString& backend,
                                                             const QString& url,
                                                             const QString& user,
                                                             const QString& folder)
{
    SyncConfiguration config;
    if (backend.isEmpty() || backend == webdavBackend) {
        auto checked = checkedWebDAVURL(url);
        if (!checked) {
            return unexpected(checked.error());
        }
        config.webdavURL = *checked;
        config.webdavUser = user;
        return config;
    }
    if (backend != folderBackend) {
        return unexpected(tr("the sync method \"%1\" is unknown").arg(backend));
    }
    config.backend = Backend::folder;
    const QString path = folder.trimmed();
    if (path.isEmpty()) {
        return unexpected(tr("no sync folder is set"));
    }
    if (!QDir::isAbsolutePath(path)) {
        return unexpected(tr("the sync folder \"%1\" is not an absolute path").arg(path));
    }
    config.folder = QDir::cleanPath(path);
    return config;
}

Expected<SyncConfiguration, QString>
SyncConfiguration::fromPreferences(const Preferences& preferences)
{
    const auto text = [&preferences](QLatin1StringView key) {
        return preferences.stringValue(key).value_or(QString());
    };
    return make(text(PreferenceKeys::syncBackend), text(PreferenceKeys::syncWebDAVURL),
                text(PreferenceKeys::syncWebDAVUser), text(PreferenceKeys::syncFolder));
}

std::unique_ptr<SyncStorage> SyncConfiguration::makeStorage(const QByteArray& password) const
{
    if (backend == Backend::folder) {
        return std::make_unique<FolderStorage>(folder);
    }
    return std::make_unique<WebDAVStorage>(webdavURL, webdavUser, password);
}
