#include "platform/HotkeyBackendFactory.h"

#include "common/DesktopEnvironment.h"
#include "platform/NullHotkeyBackend.h"
#include "platform/PortalHotkeyBackend.h"
#include "platform/X11HotkeyBackend.h"

#include <QGuiApplication>

namespace HotkeyBackendFactory {

std::unique_ptr<HotkeyBackend> create()
{
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto x11 = std::make_unique<X11HotkeyBackend>();
        if (x11->isConnected()) {
            return x11;
        }
    }
    // On Wayland only the portal makes a key global. wlroots compositors have
    // no GlobalShortcuts backend: a desktop shortcut running the command-line
    // tool takes its place there.
    if (QGuiApplication::platformName() == QLatin1String("wayland") &&
        DesktopEnvironment::current().kind != DesktopEnvironment::Kind::wlroots) {
        return std::make_unique<PortalHotkeyBackend>();
    }
    return std::make_unique<NullHotkeyBackend>();
}

} // namespace HotkeyBackendFactory
