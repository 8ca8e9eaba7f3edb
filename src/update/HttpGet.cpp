#include "update/HttpGet.h"

#include "update/UpdateConfig.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

namespace {
constexpr int transferTimeoutMs = 30'000;
constexpr int maxRedirects = 5;

QString tr(const char* text)
{
    return QCoreApplication::translate("HttpGet", text);
}

void deliverLater(QObject* context, HttpGet::Done done, Expected<HttpGet::Body, QString> result)
{
    QMetaObject::invokeMethod(
        context,
        [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); },
        Qt::QueuedConnection);
}
} // namespace

void HttpGet::prepare(QNetworkRequest& request)
{
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("quillsnap/%1").arg(UpdateConfig::currentVersion()));
    request.setTransferTimeout(transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
}

void HttpGet::guardRedirects(QNetworkReply* reply)
{
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        if (UpdateConfig::isAllowedUrl(reply->url().resolved(target))) {
            emit reply->redirectAllowed();
        } else {
            reply->abort();
        }
    });
}

QString HttpGet::describeError(const QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400) {
        return tr("the server answered %1 %2")
            .arg(status.toInt())
            .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
            .trimmed();
    }
    return reply->errorString();
}

void HttpGet::get(QNetworkAccessManager& network, const QUrl& url, qint64 maxBytes,
                  QObject* context, Done done)
{
    if (!UpdateConfig::isAllowedUrl(url)) {
        deliverLater(
            context, std::move(done),
            unexpected(
                tr("%1 is not an allowed address (use https://)").arg(url.toDisplayString())));
        return;
    }
    QNetworkRequest request(url);
    prepare(request);
    QNetworkReply* reply = network.get(request);
    guardRedirects(reply);
    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, maxBytes, tooLarge] {
        if (reply->bytesAvailable() > maxBytes) {
            *tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(
        reply, &QNetworkReply::finished, context,
        [reply, tooLarge, maxBytes, done = std::move(done)] {
            reply->deleteLater();
            if (*tooLarge) {
                done(unexpected(tr("the answer is larger than %1 bytes").arg(maxBytes)));
                return;
            }
            if (reply->error() != QNetworkReply::NoError) {
                done(unexpected(describeError(reply)));
                return;
            }
            Body body;
            body.data = reply->readAll();
            body.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
            done(std::move(body));
        });
    // The reply must not outlive a context that can no longer take its result.
    QObject::connect(context, &QObject::destroyed, reply, [reply] {
        reply->abort();
        reply->deleteLater();
    });
}
