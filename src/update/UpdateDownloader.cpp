#include "update/UpdateDownloader.h"

#include "update/HttpGet.h"
#include "update/UpdateConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtConcurrent>

namespace {

// Reads the file and checks it; runs off the main thread, as packages can be
// large and the folder slow.
SignatureVerifier::Result verifyFile(const SignatureVerifier& verifier, const QString& path,
                                     const QByteArray& signature)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return SignatureVerifier::Result::mismatch;
    }
    if (file.size() == 0) {
        return verifier.verify({}, signature);
    }
    const uchar* data = file.map(0, file.size());
    if (!data) {
        return verifier.verify(file.readAll(), signature);
    }
    return verifier.verify(QByteArrayView(data, file.size()), signature);
}

QString safeFileName(QString name)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._+~-]"));
    name.replace(unsafe, QStringLiteral("_"));
    while (name.startsWith(u'.')) {
        name.remove(0, 1);
    }
    return name;
}

// "name.deb", else "name (1).deb", "name (2).deb"...: never replaces a file.
QString freePath(const QString& path)
{
    const auto taken = [](const QString& p) {
        return QFileInfo::exists(p) || QFileInfo(p).isSymLink();
    };
    if (!taken(path)) {
        return path;
    }
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = info.dir().filePath(
            QStringLiteral("%1 (%2)%3").arg(info.completeBaseName()).arg(n).arg(suffix));
        if (!taken(candidate)) {
            return candidate;
        }
    }
}

} // namespace

UpdateDownloader::UpdateDownloader(QNetworkAccessManager& network, SignatureVerifier verifier,
                                   QString folder, QObject* parent)
    : QObject(parent), m_network(network), m_verifier(std::move(verifier)),
      m_folder(std::move(folder))
{
}

UpdateDownloader::~UpdateDownloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QString UpdateDownloader::targetPath(const AppcastItem& item) const
{
    QString name = safeFileName(item.enclosureUrl.fileName());
    if (name.isEmpty()) {
        name = safeFileName(QStringLiteral("quillsnap_%1.deb").arg(item.displayVersion()));
    }
    return QDir(m_folder).filePath(name);
}

QString UpdateDownloader::failureText(SignatureVerifier::Result result) const
{
    switch (result) {
    case SignatureVerifier::Result::valid:
        break;
    case SignatureVerifier::Result::noKey:
        return tr("This build of quillsnap has no key to check update signatures with, so "
                  "updates cannot be downloaded.");
    case SignatureVerifier::Result::missing:
        return tr("The update is not signed, so it was not downloaded.");
    case SignatureVerifier::Result::malformed:
        return tr("The update's signature cannot be read, so it was not downloaded.");
    case SignatureVerifier::Result::mismatch:
        return tr("The downloaded package does not match its signature and was deleted.");
    }
    return {};
}

void UpdateDownloader::download(const AppcastItem& item, Done done)
{
    const auto failLater = [this](Done done, QString message) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done), message] { done(unexpected(message)); },
            Qt::QueuedConnection);
    };
    if (isBusy()) {
        failLater(std::move(done), tr("A download of an update is already running."));
        return;
    }
    if (!UpdateConfig::isAllowedUrl(item.enclosureUrl)) {
        failLater(std::move(done), tr("The update's address \"%1\" is not allowed.")
                                       .arg(item.enclosureUrl.toDisplayString()));
        return;
    }
    // Key and signature are checked before anything is fetched: verifying no
    // bytes answers "mismatch" only when both are usable.
    const SignatureVerifier::Result usable = m_verifier.verify({}, item.edSignature);
    if (usable != SignatureVerifier::Result::mismatch &&
        usable != SignatureVerifier::Result::valid) {
        failLater(std::move(done), failureText(usable));
        return;
    }
    m_item = item;
    m_done = std::move(done);
    m_received = 0;
    m_abortReason.clear();
    m_limit = item.enclosureLength > 0 ? item.enclosureLength : maxUnannouncedBytes;

    // A package kept by an earlier download is used again when it verifies.
    const QString target = targetPath(item);
    if (!QFileInfo(target).isFile()) {
        startTransfer();
        return;
    }
    auto* watcher = new QFutureWatcher<SignatureVerifier::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, target] {
        watcher->deleteLater();
        if (watcher->result() == SignatureVerifier::Result::valid) {
            finish(target);
        } else {
            startTransfer();
        }
    });
    watcher->setFuture(QtConcurrent::run(verifyFile, m_verifier, target, item.edSignature));
}

void UpdateDownloader::startTransfer()
{
    if (!QDir().mkpath(m_folder)) {
        finish(unexpected(tr("The folder %1 cannot be created.").arg(m_folder)));
        return;
    }
    m_file = std::make_unique<QTemporaryFile>(
        QDir(m_folder).filePath(QStringLiteral(".quillsnap-download-XXXXXX.part")));
    if (!m_file->open()) {
        const QString reason = m_file->errorString();
        m_file.reset();
        finish(unexpected(tr("The update cannot be saved in %1: %2.").arg(m_folder, reason)));
        return;
    }
    QNetworkRequest request(m_item.enclosureUrl);
    HttpGet::prepare(request);
    m_reply = m_network.get(request);
    HttpGet::guardRedirects(m_reply);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateDownloader::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateDownloader::onFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        emit progress(received, m_item.enclosureLength > 0 ? m_item.enclosureLength
                                                           : (total > 0 ? total : -1));
    });
}

void UpdateDownloader::cancel()
{
    if (m_reply && m_abortReason.isEmpty()) {
        m_abortReason = tr("The download was cancelled.");
        m_reply->abort();
    }
}

void UpdateDownloader::onReadyRead()
{
    if (!m_abortReason.isEmpty()) {
        return;
    }
    const QByteArray data = m_reply->readAll();
    m_received += data.size();
    if (m_received > m_limit) {
        m_abortReason = tr("The download is larger than the update announced, so it was stopped "
                           "and deleted.");
        m_reply->abort();
        return;
    }
    if (m_file->write(data) != data.size()) {
        m_abortReason =
            tr("The update cannot be saved in %1: %2.").arg(m_folder, m_file->errorString());
        m_reply->abort();
    }
}

void UpdateDownloader::onFinished()
{
    if (m_abortReason.isEmpty() && m_reply->error() == QNetworkReply::NoError) {
        onReadyRead(); // what arrived with the end
    }
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (!m_abortReason.isEmpty()) {
        m_file.reset();
        finish(unexpected(m_abortReason));
        return;
    }
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 expected = m_item.enclosureLength > 0
                                ? m_item.enclosureLength
                                : (announced.isValid() ? announced.toLongLong() : -1);
    // A connection closed early is a short download, not a server's refusal.
    const bool cutShort = reply->error() == QNetworkReply::RemoteHostClosedError ||
                          reply->error() == QNetworkReply::NoError;
    if (cutShort && expected >= 0 && m_received != expected) {
        m_file.reset();
        finish(unexpected(tr("The download is incomplete (%1 of %2 bytes) and was deleted.")
                              .arg(m_received)
                              .arg(expected)));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        m_file.reset();
        finish(unexpected(tr("The download failed: %1.").arg(HttpGet::describeError(reply))));
        return;
    }
    if (!m_file->flush()) {
        const QString reason = m_file->errorString();
        m_file.reset();
        finish(unexpected(tr("The update cannot be saved in %1: %2.").arg(m_folder, reason)));
        return;
    }
    verifyAndKeep();
}

void UpdateDownloader::verifyAndKeep()
{
    auto* watcher = new QFutureWatcher<SignatureVerifier::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        const SignatureVerifier::Result result = watcher->result();
        if (result != SignatureVerifier::Result::valid) {
            m_file.reset(); // removes it
            finish(unexpected(failureText(result)));
            return;
        }
        const QString target = freePath(targetPath(m_item));
        if (!m_file->rename(target)) {
            const QString reason = m_file->errorString();
            m_file.reset();
            finish(unexpected(tr("The update cannot be saved as %1: %2.").arg(target, reason)));
            return;
        }
        m_file->setAutoRemove(false);
        // Readable by the package installer, which may read it as another user.
        m_file->setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                               QFile::ReadOther);
        m_file.reset();
        finish(target);
    });
    watcher->setFuture(
        QtConcurrent::run(verifyFile, m_verifier, m_file->fileName(), m_item.edSignature));
}

void UpdateDownloader::finish(Expected<QString, QString> result)
{
    Done done = std::move(m_done);
    m_done = nullptr;
    done(std::move(result));
}
