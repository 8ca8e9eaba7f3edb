#include "providers/ProviderClient.h"

#include "providers/ProviderEndpoint.h"

#include <QNetworkReply>

#include <memory>

ProviderClient::ProviderClient(std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent), m_timeout(timeout)
{
}

ProviderClient::~ProviderClient()
{
    // Pending transfers end with the manager; their callbacks must not run
    // into a half-destroyed owner.
    for (QNetworkReply* reply : m_network.findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
    }
    m_workers.waitForDone();
}

void ProviderClient::later(std::function<void()> done)
{
    QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
}

void ProviderClient::post(QNetworkRequest request, const QByteArray& body, const QString& secret,
                          std::function<void(Transfer)> done)
{
    request.setTransferTimeout(int(m_timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network.post(request, body);
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply, tooLarge](qint64 received) {
        if (received > maxResponseBytes && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, tooLarge, secret, done] {
        reply->deleteLater();
        Transfer transfer;
        const QNetworkReply::NetworkError error = reply->error();
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        // Errors below 100 are those of the connection; the others stand for
        // HTTP statuses, whose bodies still count.
        if (*tooLarge) {
            transfer.failure = QStringLiteral("The response is too large");
        } else if (error != QNetworkReply::NoError &&
                   (!answered || error < QNetworkReply::ProxyConnectionRefusedError)) {
            // Qt names the URL in some messages; the query may hold the key.
            QString message = reply->errorString();
            const QUrl url = reply->url();
            const QString safe = ProviderEndpoint::redacted(url);
            for (const QString& form :
                 {url.toString(), url.toDisplayString(), QString::fromLatin1(url.toEncoded())}) {
                message.replace(form, safe);
            }
            transfer.failure = withoutSecret(message, secret);
        } else {
            transfer.body = reply->readAll();
        }
        done(std::move(transfer));
    });
}

QString withoutSecret(QString text, const QString& secret)
{
    if (secret.isEmpty()) {
        return text;
    }
    const QString blank = QStringLiteral("[key]");
    text.replace(secret, blank);
    return text.replace(QString::fromLatin1(QUrl::toPercentEncoding(secret)), blank);
}
