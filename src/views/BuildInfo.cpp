#include "views/BuildInfo.h"

namespace BuildInfo {

QString version()
{
    return QStringLiteral(QUILLSNAP_VERSION);
}

QString buildNumber()
{
    return QStringLiteral(QUILLSNAP_BUILD_NUMBER);
}

QString versionText()
{
    return QStringLiteral("%1 (%2)").arg(version(), buildNumber());
}

QUrl website()
{
    return QUrl(QStringLiteral(QUILLSNAP_WEBSITE_URL));
}

} // namespace BuildInfo
