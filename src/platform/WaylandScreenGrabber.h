#pragma once

#include "capture/ScreenGrabber.h"

#include <QObject>

// Screens on Wayland, where no client may read another's pixels: grim (the
// wlr-screencopy protocol) on wlroots compositors when it is installed,
// otherwise the xdg-desktop-portal Screenshot interface (GNOME, KDE). grim
// reads each output at its own scale; the portal gives one image of the
// whole desktop, which is cut into the screens by their logical geometry.
// Windows cannot be found: a click picks the screen.
class WaylandScreenGrabber final : public QObject, public ScreenGrabber
{
    Q_OBJECT
public:
    enum class Route { grim, portal };

    explicit WaylandScreenGrabber(Route route, QObject* parent = nullptr);

    // grim on wlroots when it is on PATH, else the portal. QUILLSNAP_SCREENSHOT
    // (grim or portal) overrides, for tests and benchmarks.
    static Route defaultRoute();

    // Only the asynchronous form works here.
    QList<ScreenImage> grabScreens() override { return {}; }
    void grabScreensAsync(std::function<void(GrabResult)> done) override;
    std::optional<QRect> windowAt(QPoint, const QList<WId>&) override { return std::nullopt; }

    // One desktop image cut into the application's screens.
    static QList<ScreenImage> splitDesktop(const QImage& desktop);

private:
    void grabWithGrim(std::function<void(GrabResult)> done);
    void grabWithPortal(std::function<void(GrabResult)> done);

    Route m_route;
};
