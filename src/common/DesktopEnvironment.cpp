#include "common/DesktopEnvironment.h"

#include <QCoreApplication>
#include <QStringList>

namespace DesktopEnvironment {

Session fromEnvironment(const QString& currentDesktop, const QString& sessionType,
                        const QString& waylandDisplay, const QString& swaySocket)
{
    Session session;
    session.wayland = !waylandDisplay.isEmpty() &&
                      sessionType.compare(QLatin1String("x11"), Qt::CaseInsensitive) != 0;
    static const struct
    {
        const char* name;
        Kind kind;
    } names[] = {
        {"gnome", Kind::gnome},      {"gnome-classic", Kind::gnome},
        {"ubuntu", Kind::gnome},     {"pop", Kind::gnome},
        {"kde", Kind::kde},          {"sway", Kind::wlroots},
        {"hyprland", Kind::wlroots}, {"river", Kind::wlroots},
        {"wayfire", Kind::wlroots},  {"labwc", Kind::wlroots},
        {"wlroots", Kind::wlroots},  {"niri", Kind::wlroots},
    };
    const QStringList desktops = currentDesktop.split(u':', Qt::SkipEmptyParts);
    for (const QString& desktop : desktops) {
        for (const auto& entry : names) {
            if (desktop.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
                session.kind = entry.kind;
                session.sway = desktop.compare(QLatin1String("sway"), Qt::CaseInsensitive) == 0;
                session.sway = session.sway || !swaySocket.isEmpty();
                return session;
            }
        }
    }
    // sway sets SWAYSOCK even where the desktop variable is missing.
    if (!swaySocket.isEmpty()) {
        session.kind = Kind::wlroots;
        session.sway = true;
    }
    return session;
}

const Session& current()
{
    static const Session session = fromEnvironment(
        qEnvironmentVariable("XDG_CURRENT_DESKTOP"), qEnvironmentVariable("XDG_SESSION_TYPE"),
        qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("SWAYSOCK"));
    return session;
}

QString displayName(const Session& session)
{
    switch (session.kind) {
    case Kind::gnome:
        return QStringLiteral("GNOME");
    case Kind::kde:
        return QStringLiteral("KDE Plasma");
    case Kind::wlroots:
        return session.sway ? QStringLiteral("sway")
                            : QCoreApplication::translate("DesktopEnvironment", "your compositor");
    case Kind::other:
        break;
    }
    return QCoreApplication::translate("DesktopEnvironment", "your desktop");
}

} // namespace DesktopEnvironment
