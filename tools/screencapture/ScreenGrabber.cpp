#include "ScreenGrabber.h"

#include "QtScreenGrabber.h"
#include "X11ScreenGrabber.h"

#include <QGuiApplication>

std::unique_ptr<ScreenGrabber> ScreenGrabber::create()
{
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        return std::make_unique<X11ScreenGrabber>(x11->connection());
    }
    return std::make_unique<QtScreenGrabber>();
}
