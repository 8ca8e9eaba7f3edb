#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QObject;

// A small GET for the update checker: allowed addresses only (redirects
// included), a size limit, and a timeout while no data arrives.
namespace HttpGet {

struct Body
{
    QByteArray data;
    QString contentType;
};

using Done = std::function<void(Expected<Body, QString>)>;

// `done` runs exactly once on context's thread, never inside this call, and
// not at all when context is destroyed first. The error is a sentence for
// users.
void get(QNetworkAccessManager& network, const QUrl& url, qint64 maxBytes, QObject* context,
         Done done);

// Applies the shared request settings: user agent, timeout, checked redirects.
void prepare(QNetworkRequest& request);
// Lets a redirect through only to an allowed address.
void guardRedirects(QNetworkReply* reply);
// Why a reply failed, for users: the server's status, or the network's error.
QString describeError(const QNetworkReply* reply);

} // namespace HttpGet
