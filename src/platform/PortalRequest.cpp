#include "platform/PortalRequest.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRandomGenerator>

namespace {
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
} // namespace

PortalRequest::PortalRequest(const QDBusConnection& bus, Done done, QObject* parent)
    : QObject(parent), m_bus(bus), m_done(std::move(done))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        Response response;
        response.code = Response::Code::timedOut;
        finish(response);
    });
}

QString PortalRequest::requestPath(const QString& uniqueName, const QString& token)
{
    QString sender = uniqueName;
    if (sender.startsWith(u':')) {
        sender.remove(0, 1);
    }
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

QString PortalRequest::newToken()
{
    return QStringLiteral("quillsnap%1").arg(QRandomGenerator::global()->generate());
}

PortalRequest* PortalRequest::start(const QDBusConnection& bus, const QString& interface,
                                    const QString& method, const QVariantList& arguments,
                                    QVariantMap options, int timeoutMs, Done done, QObject* parent)
{
    auto* request = new PortalRequest(bus, std::move(done), parent);
    if (!bus.isConnected()) {
        Response response;
        response.code = Response::Code::noPortal;
        response.error = QStringLiteral("no session bus");
        // Later, like every other answer.
        QMetaObject::invokeMethod(
            request, [request, response] { request->finish(response); }, Qt::QueuedConnection);
        return request;
    }
    const QString token = newToken();
    options.insert(QStringLiteral("handle_token"), token);
    request->watch(requestPath(bus.baseService(), token));

    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(service), QLatin1String(path),
                                                       interface, method);
    call.setArguments(QVariantList(arguments) << options);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request,
            [request](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (reply.isError()) {
                    const QDBusError error = reply.error();
                    Response response;
                    const bool missing =
                        error.type() == QDBusError::ServiceUnknown ||
                        error.type() == QDBusError::UnknownInterface ||
                        error.type() == QDBusError::UnknownMethod ||
                        error.type() == QDBusError::UnknownObject ||
                        error.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
                    response.code = missing ? Response::Code::noPortal : Response::Code::failed;
                    response.error = error.message();
                    request->finish(response);
                    return;
                }
                // Portals older than handle_token choose the path themselves.
                request->watch(reply.value().path());
            });
    request->m_timeout.start(timeoutMs);
    return request;
}

void PortalRequest::watch(const QString& requestPath)
{
    if (requestPath == m_watched || m_finished) {
        return;
    }
    if (!m_watched.isEmpty()) {
        m_bus.disconnect(QString(), m_watched, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    }
    m_watched = requestPath;
    // No sender given: naming the portal's well-known name would make Qt ask
    // the bus for its owner, synchronously. The path is ours alone.
    m_bus.connect(QString(), m_watched, requestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint code, const QVariantMap& results)
{
    Response response;
    response.code = code <= 2 ? Response::Code(code) : Response::Code::ended;
    response.results = results;
    finish(response);
}

void PortalRequest::finish(const Response& response)
{
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_timeout.stop();
    if (!m_watched.isEmpty()) {
        m_bus.disconnect(QString(), m_watched, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    }
    const Done done = std::move(m_done);
    deleteLater();
    if (done) {
        done(response);
    }
}
