#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>

// One call of an xdg-desktop-portal method that answers through a Request
// object: the portal replies at once with the request's path and later
// emits org.freedesktop.portal.Request.Response there, to the caller only.
// The Response is subscribed to before the call, at the path the portal
// derives from our unique bus name and a handle_token, because a portal
// that needs no dialog may answer before the call's own reply arrives.
// Nothing blocks: the answer comes to `done` on this thread, exactly once.
class PortalRequest : public QObject
{
    Q_OBJECT
public:
    struct Response
    {
        // The portal's codes 0 success, 1 cancelled by the user, 2 ended
        // otherwise (refused); and ours for a call that got no answer.
        enum class Code { success = 0, cancelled = 1, ended = 2, noPortal, failed, timedOut };
        Code code = Code::failed;
        QVariantMap results;
        QString error; // D-Bus error text for noPortal and failed
    };
    using Done = std::function<void(const Response&)>;

    static constexpr const char* service = "org.freedesktop.portal.Desktop";
    static constexpr const char* path = "/org/freedesktop/portal/desktop";

    // Calls interface.method(arguments..., options) where options gets a
    // handle_token added. The request deletes itself after `done`.
    static PortalRequest* start(const QDBusConnection& bus, const QString& interface,
                                const QString& method, const QVariantList& arguments,
                                QVariantMap options, int timeoutMs, Done done,
                                QObject* parent = nullptr);

    // The Request path the portal uses for a sender and a token.
    static QString requestPath(const QString& uniqueName, const QString& token);
    static QString newToken();

private slots:
    void onResponse(uint code, const QVariantMap& results);

private:
    PortalRequest(const QDBusConnection& bus, Done done, QObject* parent);
    void watch(const QString& requestPath);
    void finish(const Response& response);

    QDBusConnection m_bus;
    Done m_done;
    QString m_watched;
    QTimer m_timeout;
    bool m_finished = false;
};
