#pragma once

#include "capture/ScreenCapturePermission.h"
#include "common/DesktopEnvironment.h"

#include <QDBusConnection>
#include <QObject>

// Screen capture on Wayland goes through the compositor. GNOME's portal
// asks the user once and keeps the answer in the permission store (table
// "screenshot", id "screenshot"); sway (grim) and KDE do not ask. The
// answer is looked up asynchronously: isGranted() returns what the last
// lookup found and starts the next one, which suits a page that checks
// periodically.
class WaylandScreenCapturePermission final : public QObject, public ScreenCapturePermission
{
    Q_OBJECT
public:
    explicit WaylandScreenCapturePermission(
        const DesktopEnvironment::Session& session,
        const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    bool isGranted() const override;
    bool asksUser() const override { return m_asks; }

    // A screenshot the desktop allowed (the onboarding's probe) settles it.
    void noteCaptureAllowed() { m_granted = true; }

private:
    void lookUp() const;

    QDBusConnection m_bus;
    bool m_asks = false;
    mutable bool m_granted = false;
    mutable bool m_lookingUp = false;
};
