#include "sync/WebDAVStorage.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QXmlStreamReader>

#include <memory>

namespace {

const QByteArray propfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/><d:getcontentlength/></d:prop>"
    "</d:propfind>";

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

} // namespace

WebDAVStorage::WebDAVStorage(const QUrl& collection, const QString& user,
                             const QByteArray& password, QObject* parent)
    : SyncStorage(parent), m_base(collection)
{
    QString path = m_base.path();
    if (!path.endsWith(QLatin1Char('/'))) {
        m_base.setPath(path + QLatin1Char('/'));
    }
    m_base.setUserInfo({});
    if (!user.isEmpty() || !password.isEmpty()) {
        m_authorization = "Basic " + (user.toUtf8() + ':' + password).toBase64();
    }
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

WebDAVStorage::~WebDAVStorage()
{
    // Requests still under way end here without calling back.
    for (QNetworkReply* reply : m_network.findChildren<QNetworkReply*>()) {
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
    }
}

QString WebDAVStorage::location() const
{
    return m_base.toDisplayString();
}

void WebDAVStorage::send(const QByteArray& verb, const QString& path, const QByteArray& body,
                         const QList<QPair<QByteArray, QByteArray>>& headers,
                         std::function<void(const Answer&)> done, int attempt)
{
    countRequest();
    QNetworkRequest request(m_base.resolved(QUrl(path)));
    request.setTransferTimeout(int(m_timeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    if (!m_authorization.isEmpty()) {
        request.setRawHeader("Authorization", m_authorization);
    }
    for (const auto& [name, value] : headers) {
        request.setRawHeader(name, value);
    }
    QNetworkReply* reply = m_network.sendCustomRequest(request, verb, body);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maxReplySize) {
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, verb, path, body, headers, done = std::move(done), attempt] {
                reply->deleteLater();
                Answer answer;
                const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                // 423 Locked: another client works on the same resource this moment
                // (two machines setting up the database at once); ask again shortly.
                if (status.toInt() == 423 && attempt < maxLockedRetries) {
                    QTimer::singleShot(100 * (attempt + 1), this, [=, this] {
                        send(verb, path, body, headers, done, attempt + 1);
                    });
                    return;
                }
                if (status.isValid()) {
                    answer.status = status.toInt();
                    answer.body = reply->readAll();
                } else if (reply->error() == QNetworkReply::OperationCanceledError) {
                    answer.transportError =
                        CloudError{CloudError::Code::networkFailure,
                                   tr("%1 did not answer in time.").arg(m_base.host())};
                } else {
                    answer.transportError = CloudError{
                        CloudError::Code::networkFailure,
                        tr("Cannot reach %1: %2").arg(m_base.host(), reply->errorString())};
                }
                done(answer);
            });
}

CloudError WebDAVStorage::statusError(const Answer& answer, const QString& path) const
{
    if (answer.transportError) {
        return *answer.transportError;
    }
    using Code = CloudError::Code;
    switch (answer.status) {
    case 401:
        return {Code::notAuthenticated, tr("The server refused the user name or password.")};
    case 403:
        return {Code::notAuthenticated, tr("The server denied access to %1.")
                                            .arg(m_base.resolved(QUrl(path)).toDisplayString())};
    case 507:
        return {Code::serverRejectedRequest, tr("The server has no space left.")};
    default:
        break;
    }
    if (answer.status >= 300 && answer.status < 400) {
        return {Code::serverRejectedRequest,
                tr("The server answered %1 (a redirect) for %2; enter the address it redirects "
                   "to.")
                    .arg(answer.status)
                    .arg(m_base.resolved(QUrl(path)).toDisplayString())};
    }
    return {Code::serverRejectedRequest, tr("The server answered %1 for %2.")
                                             .arg(answer.status)
                                             .arg(m_base.resolved(QUrl(path)).toDisplayString())};
}

void WebDAVStorage::prepare(const QString& folder, Callback<void> done)
{
    makeCollections({QString(), folder + QLatin1Char('/')}, std::move(done));
}

void WebDAVStorage::makeCollections(QStringList paths, Callback<void> done)
{
    if (paths.isEmpty()) {
        done({});
        return;
    }
    const QString path = paths.takeFirst();
    send("MKCOL", path, {}, {},
         [this, path, paths = std::move(paths), done = std::move(done)](const Answer& answer) {
             // 405: the collection exists already.
             if (isSuccess(answer.status) || answer.status == 405) {
                 makeCollections(paths, done);
             } else if (answer.status == 409) {
                 done(unexpected(
                     CloudError{CloudError::Code::serverRejectedRequest,
                                tr("The folder that should hold %1 does not exist on the server.")
                                    .arg(m_base.resolved(QUrl(path)).toDisplayString())}));
             } else {
                 done(unexpected(statusError(answer, path)));
             }
         });
}

void WebDAVStorage::list(const QString& folder, Callback<QList<Entry>> done)
{
    const QString path = folder + QLatin1Char('/');
    send("PROPFIND", path, propfindBody,
         {{"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}},
         [this, path, done = std::move(done)](const Answer& answer) {
             if (answer.status == 404) {
                 done(QList<Entry>());
                 return;
             }
             if (answer.status != 207) {
                 done(unexpected(statusError(answer, path)));
                 return;
             }
             auto entries = parseMultistatus(answer.body);
             if (!entries) {
                 done(unexpected(
                     CloudError{CloudError::Code::serverRejectedRequest,
                                tr("The server's listing of %1 cannot be read.")
                                    .arg(m_base.resolved(QUrl(path)).toDisplayString())}));
                 return;
             }
             done(std::move(*entries));
         });
}

void WebDAVStorage::readAll(const QStringList& paths, Callback<QList<Result<Content>>> done)
{
    struct Pending
    {
        QList<Result<Content>> contents;
        qsizetype outstanding = 0;
        bool settled = false;
        Callback<QList<Result<Content>>> done;
    };
    auto pending = std::make_shared<Pending>();
    pending->contents.fill(Content(), paths.size());
    pending->outstanding = paths.size();
    pending->done = std::move(done);
    if (paths.isEmpty()) {
        pending->done(pending->contents);
        return;
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString path = paths.at(i);
        send("GET", path, {}, {}, [this, pending, i, path](const Answer& answer) {
            if (pending->settled) {
                return;
            }
            if (isSuccess(answer.status)) {
                pending->contents[i] = Content(answer.body);
            } else if (answer.status != 404) {
                const CloudError error = statusError(answer, path);
                // A server that cannot be reached, refuses us or fails fails
                // the whole read; anything else concerns this file only.
                if (answer.transportError || answer.status >= 500 ||
                    error.code == CloudError::Code::notAuthenticated) {
                    pending->settled = true;
                    pending->done(unexpected(error));
                    return;
                }
                pending->contents[i] = unexpected(error);
            }
            if (--pending->outstanding == 0) {
                pending->settled = true;
                pending->done(std::move(pending->contents));
            }
        });
    }
}

void WebDAVStorage::create(const QString& path, const QByteArray& data, Callback<void> done)
{
    send("PUT", path, data, {{"If-None-Match", "*"}, {"Content-Type", "application/octet-stream"}},
         [this, path, done = std::move(done)](const Answer& answer) {
             if (isSuccess(answer.status)) {
                 done({});
             } else if (answer.status == 412) {
                 done(unexpected(CloudError{
                     CloudError::Code::serverRecordChanged,
                     tr("%1 exists already.").arg(m_base.resolved(QUrl(path)).toDisplayString())}));
             } else {
                 done(unexpected(statusError(answer, path)));
             }
         });
}

std::optional<QList<WebDAVStorage::Entry>> WebDAVStorage::parseMultistatus(const QByteArray& xml)
{
    const QString dav = QStringLiteral("DAV:");
    QXmlStreamReader reader(xml);
    QList<Entry> entries;
    if (!reader.readNextStartElement() || reader.namespaceUri() != dav ||
        reader.name() != u"multistatus") {
        return std::nullopt;
    }
    while (reader.readNextStartElement()) {
        if (reader.namespaceUri() != dav || reader.name() != u"response") {
            reader.skipCurrentElement();
            continue;
        }
        QString href;
        bool collection = false;
        qint64 size = -1;
        // Walks the response's subtree: its href, and among the properties
        // the resource type and the length.
        int depth = 1;
        while (depth > 0 && !reader.atEnd()) {
            const auto token = reader.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::StartElement) {
                const bool isDav = reader.namespaceUri() == dav;
                if (isDav && reader.name() == u"href") {
                    href = reader.readElementText().trimmed();
                } else if (isDav && reader.name() == u"getcontentlength") {
                    bool ok = false;
                    const qint64 n = reader.readElementText().trimmed().toLongLong(&ok);
                    size = ok ? n : -1;
                } else {
                    collection = collection || (isDav && reader.name() == u"collection");
                    ++depth;
                }
            }
        }
        if (collection || href.isEmpty()) {
            continue;
        }
        const QString name = QUrl(href).path(QUrl::FullyDecoded).section(QLatin1Char('/'), -1);
        if (!name.isEmpty()) {
            entries.append(Entry{name, size});
        }
    }
    if (reader.hasError()) {
        return std::nullopt;
    }
    return entries;
}
