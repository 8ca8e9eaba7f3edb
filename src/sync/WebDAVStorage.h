#pragma once

#include "sync/SyncStorage.h"

#include <QNetworkAccessManager>
#include <QUrl>

#include <chrono>

class QNetworkReply;

// The sync database in a WebDAV collection (Nextcloud, ownCloud, Apache,
// rclone...): MKCOL makes folders, PUT writes a file with "If-None-Match: *"
// so that a server that honours it never replaces a record, PROPFIND with
// depth 1 lists a folder and GET reads a file. Basic authentication is sent
// with every request; the address is checked before (HTTPS, or plain HTTP to
// this computer only). Redirects are not followed: the credentials would go
// with them.
class WebDAVStorage : public SyncStorage
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeout{30000};
    static constexpr qint64 maxReplySize = 64 * 1024 * 1024;

    // collection: the folder on the server that holds the database.
    WebDAVStorage(const QUrl& collection, const QString& user, const QByteArray& password,
                  QObject* parent = nullptr);
    ~WebDAVStorage() override;

    // How long a request may go without progress.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    QString location() const override;
    void prepare(const QString& folder, Callback<void> done) override;
    void list(const QString& folder, Callback<QList<Entry>> done) override;
    void readAll(const QStringList& paths, Callback<QList<Result<Content>>> done) override;
    void create(const QString& path, const QByteArray& data, Callback<void> done) override;

    // The entries of a PROPFIND answer: files only, named by the last
    // segment of their address; nullopt when it is not a multistatus.
    static std::optional<QList<Entry>> parseMultistatus(const QByteArray& xml);

private:
    struct Answer
    {
        int status = 0; // 0 when no HTTP answer arrived
        QByteArray body;
        std::optional<CloudError> transportError;
    };
    static constexpr int maxLockedRetries = 6;
    void send(const QByteArray& verb, const QString& path, const QByteArray& body,
              const QList<QPair<QByteArray, QByteArray>>& headers,
              std::function<void(const Answer&)> done, int attempt = 0);
    void makeCollections(QStringList paths, Callback<void> done);
    CloudError statusError(const Answer& answer, const QString& path) const;

    QNetworkAccessManager m_network;
    QUrl m_base;
    QByteArray m_authorization;
    std::chrono::milliseconds m_timeout = defaultTimeout;
};
