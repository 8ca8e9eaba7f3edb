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
    // One grim per output, all at once, each at the output's own scale: a
    // single grim of the desktop would scale every output up to the largest
    // scale, which blurs text on the others. PPM through a pipe: no
    // compression, no file.
    const QList<QScreen*> screens = QGuiApplication::screens();
    struct Pending
    {
        std::function<void(GrabResult)> done;
        QList<ScreenImage> shots;
        int left = 0;
        bool failed = false;
    };
    auto pending = std::make_shared<Pending>();
    pending->done = std::move(done);
    pending->left = int(screens.size());
    for (int i = 0; i < screens.size(); ++i) {
        QScreen* screen = screens.at(i);
        ScreenImage shot;
        shot.screen = screen;
        shot.geometry = screen->geometry();
        pending->shots.append(shot);
        if (screen->name().isEmpty()) {
            pending->failed = true;
        }
    }
    if (screens.isEmpty() || pending->failed) {
        return grabWithPortal(std::move(pending->done));
    }
    for (int i = 0; i < screens.size(); ++i) {
        auto* grim = new QProcess(this);
        grim->setProgram(QStringLiteral("grim"));
        grim->setArguments({QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-o"),
                            screens.at(i)->name(), QStringLiteral("-")});
        grim->setStandardInputFile(QProcess::nullDevice());
        grim->setStandardErrorFile(QProcess::nullDevice());
        auto settled = std::make_shared<bool>(false);
        const auto settle = [this, grim, pending, settled, i](bool ok) {
            if (std::exchange(*settled, true)) {
                return;
            }
            grim->deleteLater();
            ScreenImage& shot = pending->shots[i];
            shot.image = ok ? QImage::fromData(grim->readAllStandardOutput(), "PPM") : QImage();
            if (shot.image.isNull() || shot.geometry.isEmpty()) {
                pending->failed = true;
            } else {
                shot.nativeGeometry = QRect(QPoint(), shot.image.size());
                shot.devicePixelRatio = qreal(shot.image.width()) / shot.geometry.width();
            }
            if (--pending->left > 0) {
                return;
            }
            if (!pending->failed) {
                return pending->done(std::move(pending->shots));
            }
            // grim missing or refused (no screencopy): the portal may still work.
            grabWithPortal(std::move(pending->done));
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
