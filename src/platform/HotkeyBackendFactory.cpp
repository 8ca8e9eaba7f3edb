#include "platform/HotkeyBackendFactory.h"

#include "platform/NullHotkeyBackend.h"
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
    return std::make_unique<NullHotkeyBackend>();
}

} // namespace HotkeyBackendFactory
