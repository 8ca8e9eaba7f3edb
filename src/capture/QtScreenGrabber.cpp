#include "capture/QtScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

QList<ScreenImage> QtScreenGrabber::grabScreens()
{
    QList<ScreenImage> result;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        ScreenImage shot;
        shot.screen = screen;
        shot.geometry = screen->geometry();
        shot.devicePixelRatio = screen->devicePixelRatio();
        // The grab comes back in device pixels, with the ratio set on it.
        shot.image = screen->grabWindow(0).toImage();
        if (shot.image.isNull()) {
            return {};
        }
        shot.image.setDevicePixelRatio(1.0);
        // The native origin of a screen equals its logical origin under Qt's
        // scaling; its size is what the grab delivered.
        shot.nativeGeometry = QRect(shot.geometry.topLeft(), shot.image.size());
        result.append(std::move(shot));
    }
    return result;
}

std::optional<QRect> QtScreenGrabber::windowAt(QPoint, const QList<WId>&)
{
    return std::nullopt;
}
