#include "providers/ProviderEndpoint.h"

#include <QHostAddress>

namespace ProviderEndpoint {

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

Expected<QUrl, Problem> resolve(const QString& baseURL, const QString& defaultBase,
                                const QString& pathAndQuery)
{
    const QString baseText = baseURL.trimmed().isEmpty() ? defaultBase : baseURL.trimmed();
    const QUrl base(baseText, QUrl::StrictMode);
    const QString scheme = base.scheme();
    // Credentials, a query or a fragment in the base would end up somewhere
    // the user did not mean: such a base is refused rather than guessed at.
    if (!base.isValid() || base.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http")) ||
        !base.userInfo().isEmpty() || base.hasQuery() || base.hasFragment()) {
        return unexpected(Problem::invalid);
    }
    if (scheme == QLatin1String("http") && !isLoopbackHost(base.host())) {
        return unexpected(Problem::insecure);
    }
    QString prefix = base.toString(QUrl::FullyEncoded);
    while (prefix.endsWith(QLatin1Char('/'))) {
        prefix.chop(1);
    }
    const QUrl url(prefix + pathAndQuery, QUrl::StrictMode);
    if (!url.isValid() || url.host() != base.host()) {
        return unexpected(Problem::invalid);
    }
    return url;
}

QString redacted(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveQuery | QUrl::RemoveUserInfo | QUrl::RemoveFragment).toString();
}

} // namespace ProviderEndpoint
