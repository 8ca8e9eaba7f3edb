#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QWindow>

#include "common/Expected.h"

#include <functional>
#include <optional>

class QScreen;

// One screen frozen at start: its pixels in device pixels and where it sits.
struct ScreenImage
{
    QScreen* screen = nullptr;
    // Logical geometry, as Qt reports it for the screen.
    QRect geometry;
    // Native geometry in device pixels (the X11 root window's coordinates).
    QRect nativeGeometry;
    qreal devicePixelRatio = 1.0;
    QImage image;
};

// Why the screens could not be read: the desktop failed, or it (or the user
// at its prompt) refused this program.
enum class GrabError { failed, denied };
using GrabResult = Expected<QList<ScreenImage>, GrabError>;

// Reads the screen's content and finds windows on it, for the region picker.
// Backends for display systems live in src/platform/ (ScreenGrabberFactory
// picks one).
class ScreenGrabber
{
public:
    virtual ~ScreenGrabber() = default;

    // Grabs every screen at once; an empty list when nothing could be read.
    virtual QList<ScreenImage> grabScreens() = 0;

    // The same for backends that wait for the desktop (a portal, a helper
    // process): done runs once, on this thread. By default it grabs at once.
    virtual void grabScreensAsync(std::function<void(GrabResult)> done)
    {
        QList<ScreenImage> screens = grabScreens();
        if (screens.isEmpty()) {
            done(unexpected(GrabError::failed));
        } else {
            done(std::move(screens));
        }
    }

    // The frame of the top-level window under nativePos, in native device
    // coordinates, skipping the windows in ignored (the picker's own overlays).
    // Empty when there is none or the backend cannot tell.
    virtual std::optional<QRect> windowAt(QPoint nativePos, const QList<WId>& ignored) = 0;
};
