#include "update/UpdateConfig.h"

#include <QHostAddress>
#include <QSysInfo>

QByteArray UpdateConfig::publicKey()
{
    return QByteArrayLiteral(QUILLSNAP_UPDATE_PUBLIC_KEY);
}

QString UpdateConfig::currentVersion()
{
    return QStringLiteral(QUILLSNAP_VERSION);
}

QString UpdateConfig::systemVersion()
{
    return QSysInfo::productVersion();
}

bool UpdateConfig::isAllowedUrl(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https")) {
        return true;
    }
    if (scheme != QLatin1String("http")) {
        return false;
    }
    const QString host = url.host().toLower();
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}
