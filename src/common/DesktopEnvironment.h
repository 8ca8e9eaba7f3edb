#pragma once

#include <QString>

// Which desktop the application runs on, as far as the services it needs
// differ: the screenshot route, the clipboard route, where a desktop
// shortcut is kept and what the permission prompts look like.
namespace DesktopEnvironment {

enum class Kind {
    gnome,   // Mutter: the portal asks before a screenshot; no data-control
    kde,     // KWin: the portal, GlobalShortcuts from Plasma 5.27, data-control
    wlroots, // sway, Hyprland, river, Wayfire...: grim, data-control, no GlobalShortcuts
    other,
};

struct Session
{
    Kind kind = Kind::other;
    bool wayland = false;
    // The compositor is sway itself (it takes `bindsym` lines and swaymsg).
    bool sway = false;
};

// From the variables a session sets: XDG_CURRENT_DESKTOP (a colon-separated
// list, first match wins), XDG_SESSION_TYPE and WAYLAND_DISPLAY. A Wayland
// session is one with a Wayland display; XDG_SESSION_TYPE=x11 overrides it
// (an X11 session that happens to export the variable).
Session fromEnvironment(const QString& currentDesktop, const QString& sessionType,
                        const QString& waylandDisplay, const QString& swaySocket = {});

// The session of this process, read once.
const Session& current();

// The desktop's name in messages ("GNOME", "KDE Plasma", "sway").
QString displayName(const Session& session);

} // namespace DesktopEnvironment
