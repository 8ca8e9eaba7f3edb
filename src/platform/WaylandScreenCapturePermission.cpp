#include "platform/WaylandScreenCapturePermission.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>

namespace {
using PermissionTable = QMap<QString, QStringList>;
} // namespace

WaylandScreenCapturePermission::WaylandScreenCapturePermission(
    const DesktopEnvironment::Session& session, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus),
      m_asks(session.wayland && session.kind == DesktopEnvironment::Kind::gnome)
{
    m_granted = !m_asks;
}

bool WaylandScreenCapturePermission::isGranted() const
{
    if (!m_granted) {
        lookUp();
    }
    return m_granted;
}

void WaylandScreenCapturePermission::lookUp() const
{
    if (m_lookingUp || !m_bus.isConnected()) {
        return;
    }
    m_lookingUp = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"), QStringLiteral("Lookup"));
    call.setArguments({QStringLiteral("screenshot"), QStringLiteral("screenshot")});
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000),
                                                const_cast<WaylandScreenCapturePermission*>(this));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_lookingUp = false;
        const QDBusPendingReply<PermissionTable, QDBusVariant> reply = *w;
        if (reply.isError()) {
            return;
        }
        // Applications outside a sandbox are stored under an empty id by
        // older portals and under their desktop file's name by newer ones.
        const PermissionTable table = reply.argumentAt<0>();
        for (const QString& id : {QString(), QGuiApplication::desktopFileName()}) {
            if (table.value(id).value(0) == QLatin1String("yes")) {
                m_granted = true;
            }
        }
    });
}
