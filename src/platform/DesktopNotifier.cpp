#include "platform/DesktopNotifier.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSystemTrayIcon>

namespace {

// Errors that mean nobody serves notifications, as opposed to a server that
// answered and said no.
bool serviceMissing(QDBusError::ErrorType type)
{
    switch (type) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoServer:
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), defaultService(), parent)
{
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& connection, const QString& service,
                                 QObject* parent)
    : QObject(parent), m_connection(connection), m_service(service)
{
}

QDBusMessage DesktopNotifier::methodCall(const QString& method) const
{
    return QDBusMessage::createMethodCall(m_service,
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}

void DesktopNotifier::post(const QString& title, const QString& body)
{
    if (!m_connection.isConnected()) {
        // Queued, so that the caller sees the same order of events either way.
        QMetaObject::invokeMethod(
            this, [this, title, body] { fallBack(title, body); }, Qt::QueuedConnection);
        return;
    }
    if (m_bodyMarkup.has_value()) {
        notify(title, body);
        return;
    }
    // Servers with "body-markup" read the body as markup; a scanned payload
    // is arbitrary text and must be escaped for them, so ask once.
    auto* watcher = new QDBusPendingCallWatcher(
        m_connection.asyncCall(methodCall(QStringLiteral("GetCapabilities")), m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        if (reply.isError() && serviceMissing(reply.error().type())) {
            fallBack(title, body);
            return;
        }
        // A server that cannot tell gets escaped text: "&amp;" on screen is
        // better than markup from a stranger's QR code.
        m_bodyMarkup = reply.isError() || reply.value().contains(QStringLiteral("body-markup"));
        notify(title, body);
    });
}

void DesktopNotifier::notify(const QString& title, const QString& body)
{
    QDBusMessage call = methodCall(QStringLiteral("Notify"));
    // The freedesktop sound theme name that servers play
    // for an ordinary incoming message: the desktop's default alert sound.
    const QVariantMap hints{
        {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
        {QStringLiteral("desktop-entry"), QStringLiteral("quillsnap")},
    };
    const QString shownBody = m_bodyMarkup.value_or(true) ? body.toHtmlEscaped() : body;
    call << QStringLiteral("quillsnap") << 0u << QStringLiteral("quillsnap") << title << shownBody
         << QStringList() << hints << -1;

    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError()) {
            emit delivered(Delivery::desktop);
        } else if (serviceMissing(reply.error().type())) {
            // The server went away; ask the next one what it reads.
            m_bodyMarkup.reset();
            fallBack(title, body);
        } else {
            emit delivered(Delivery::dropped);
        }
    });
}

void DesktopNotifier::fallBack(const QString& title, const QString& body)
{
    if (!m_trayIcon || !m_trayIcon->isVisible() || !QSystemTrayIcon::supportsMessages()) {
        emit delivered(Delivery::dropped);
        return;
    }
    m_trayIcon->showMessage(title, body, QSystemTrayIcon::Information);
    emit delivered(Delivery::trayFallback);
}
