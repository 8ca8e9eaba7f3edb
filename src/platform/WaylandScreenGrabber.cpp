#include "platform/WaylandScreenGrabber.h"

#include "capture/DesktopImageLayout.h"
#include "common/DesktopEnvironment.h"
#include "platform/PortalScreenshot.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

namespace {
// The user may have to answer the desktop's question first.
constexpr int portalTimeoutMs = 120'000;
constexpr int grimTimeoutMs = 15'000;
} // namespace

WaylandScreenGrabber::WaylandScreenGrabber(Route route, QObject* parent)
    : QObject(parent), m_route(route)
{
}

WaylandScreenGrabber::Route WaylandScreenGrabber::defaultRoute()
{
    const QString forced = qEnvironmentVariable("QUILLSNAP_SCREENSHOT");
    if (forced == QLatin1String("portal")) {
        return Route::portal;
    }
    if (forced == QLatin1String("grim")) {
        return Route::grim;
    }
    const bool wlroots = DesktopEnvironment::current().kind == DesktopEnvironment::Kind::wlroots;
    return wlroots && !QStandardPaths::findExecutable(QStringLiteral("grim")).isEmpty()
               ? Route::grim
               : Route::portal;
}

QList<ScreenImage> WaylandScreenGrabber::splitDesktop(const QImage& desktop)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRect> geometries;
    for (const QScreen* screen : screens) {
        geometries.append(screen->geometry());
    }
    const QRect all = DesktopImageLayout::bounds(geometries);
    QList<ScreenImage> result;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect area = DesktopImageLayout::screenArea(geometries.at(i), all, desktop.size());
        if (area.isEmpty()) {
            return {};
        }
        ScreenImage shot;
        shot.screen = screens.at(i);
        shot.geometry = geometries.at(i);
        shot.nativeGeometry = area;
        shot.devicePixelRatio = qreal(area.width()) / geometries.at(i).width();
        shot.image = desktop.copy(area);
        result.append(std::move(shot));
    }
    return result;
}

void WaylandScreenGrabber::grabScreensAsync(std::function<void(GrabResult)> done)
{
    if (m_route == Route::grim) {
        grabWithGrim(std::move(done));
    } else {
        grabWithPortal(std::move(done));
    }
}

void WaylandScreenGrabber::grabWithGrim(std::function<void(GrabResult)> done)
{
    // PPM through a pipe: no compression, no file.
    auto* grim = new QProcess(this);
    grim->setProgram(QStringLiteral("grim"));
    grim->setArguments({QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    grim->setStandardInputFile(QProcess::nullDevice());
    grim->setProcessChannelMode(QProcess::SeparateChannels);
    auto pending = std::make_shared<std::function<void(GrabResult)>>(std::move(done));
    const auto settle = [this, grim, pending](bool ok) {
        if (!*pending) {
            return;
        }
        const auto answer = std::exchange(*pending, {});
        grim->deleteLater();
        const QImage image = ok ? QImage::fromData(grim->readAllStandardOutput(), "PPM") : QImage();
        QList<ScreenImage> screens = image.isNull() ? QList<ScreenImage>() : splitDesktop(image);
        if (!screens.isEmpty()) {
            return answer(std::move(screens));
        }
        // grim missing or refused (no screencopy): the portal may still work.
        grabWithPortal(answer);
    };
    connect(grim, &QProcess::finished, this, [settle](int code, QProcess::ExitStatus status) {
        settle(status == QProcess::NormalExit && code == 0);
    });
    connect(grim, &QProcess::errorOccurred, this, [settle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            settle(false);
        }
    });
    QTimer::singleShot(grimTimeoutMs, grim, [grim] { grim->kill(); });
    grim->start();
}

void WaylandScreenGrabber::grabWithPortal(std::function<void(GrabResult)> done)
{
    PortalScreenshot::take(
        QDBusConnection::sessionBus(), portalTimeoutMs,
        [done = std::move(done)](Expected<PortalScreenshot::Shot, PortalScreenshot::Error> shot) {
            if (!shot) {
                const bool refused = shot.error() == PortalScreenshot::Error::cancelled ||
                                     shot.error() == PortalScreenshot::Error::denied;
                return done(unexpected(refused ? GrabError::denied : GrabError::failed));
            }
            QList<ScreenImage> screens = splitDesktop(shot->image);
            if (screens.isEmpty()) {
                return done(unexpected(GrabError::failed));
            }
            done(std::move(screens));
        },
        this);
}
