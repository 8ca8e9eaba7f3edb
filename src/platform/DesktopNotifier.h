#pragma once

#include "feedback/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QPointer>

#include <QSystemTrayIcon>

#include <optional>

// Desktop notifications through the freedesktop notification service on the
// session bus. When no service answers, the message goes to the tray icon's
// balloon instead; a notification the service refuses is dropped.
class DesktopNotifier : public QObject, public Notifier
{
    Q_OBJECT
public:
    enum class Delivery { desktop, trayFallback, dropped };
    Q_ENUM(Delivery)

    static QString defaultService() { return QStringLiteral("org.freedesktop.Notifications"); }

    explicit DesktopNotifier(QObject* parent = nullptr);
    // `service` names the bus service to call, so that tests can serve it.
    DesktopNotifier(const QDBusConnection& connection, const QString& service,
                    QObject* parent = nullptr);

    // The icon whose balloon carries notifications when the service is
    // missing; none drops them.
    void setTrayIcon(QSystemTrayIcon* icon) { m_trayIcon = icon; }
    void setCallTimeout(int milliseconds) { m_timeout = milliseconds; }

    // Returns at once; the outcome arrives as delivered() on this thread.
    void post(const QString& title, const QString& body) override;

signals:
    void delivered(DesktopNotifier::Delivery how);

private:
    QDBusMessage methodCall(const QString& method) const;
    void notify(const QString& title, const QString& body);
    void fallBack(const QString& title, const QString& body);

    QDBusConnection m_connection;
    QString m_service;
    QPointer<QSystemTrayIcon> m_trayIcon;
    int m_timeout = 5000;
    // Whether the server reads the body as markup, once it has said so.
    std::optional<bool> m_bodyMarkup;
};
