#include "platform/PortalScreenshot.h"

#include "platform/PortalRequest.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace PortalScreenshot {

void take(const QDBusConnection& bus, int timeoutMs, Done done, QObject* context, bool keepFile)
{
    using Code = PortalRequest::Response::Code;
    const QVariantMap options{{QStringLiteral("interactive"), false},
                              {QStringLiteral("modal"), false}};
    PortalRequest::start(
        bus, QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"),
        {QString()}, options, timeoutMs,
        [done = std::move(done), keepFile](const PortalRequest::Response& response) {
            switch (response.code) {
            case Code::success:
                break;
            case Code::cancelled:
                return done(unexpected(Error::cancelled));
            case Code::ended:
                return done(unexpected(Error::denied));
            case Code::noPortal:
                return done(unexpected(Error::unavailable));
            case Code::failed:
            case Code::timedOut:
                return done(unexpected(Error::failed));
            }
            const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
            const QString path = uri.isLocalFile() ? uri.toLocalFile() : QString();
            if (path.isEmpty() || !QFileInfo(path).isFile()) {
                return done(unexpected(Error::failed));
            }
            Shot shot{QImage(path), path};
            if (!keepFile) {
                QFile::remove(path);
            }
            if (shot.image.isNull()) {
                return done(unexpected(Error::failed));
            }
            done(std::move(shot));
        },
        context);
}

} // namespace PortalScreenshot
