#include "platform/ScreenGrabberFactory.h"

#include "capture/QtScreenGrabber.h"
#include "platform/WaylandScreenGrabber.h"
#include "platform/X11ScreenGrabber.h"

#include <QGuiApplication>

namespace ScreenGrabberFactory {

std::unique_ptr<ScreenGrabber> create()
{
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        return std::make_unique<X11ScreenGrabber>(x11->connection());
    }
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        return std::make_unique<WaylandScreenGrabber>(WaylandScreenGrabber::defaultRoute());
    }
    return std::make_unique<QtScreenGrabber>();
}

} // namespace ScreenGrabberFactory
