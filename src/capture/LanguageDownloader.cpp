#include "capture/LanguageDownloader.h"

#include "capture/RecognitionLanguages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QThreadPool>

#include <tesseract/baseapi.h>

#include <cstdio>

namespace {

bool isLoopback(const QString& host)
{
    const QHostAddress address(host);
    return host == u"localhost" || (!address.isNull() && address.isLoopback());
}

} // namespace

QUrl LanguageDownloader::defaultBaseUrl()
{
    return QUrl(
        QStringLiteral("https://raw.githubusercontent.com/tesseract-ocr/tessdata_fast/main/"));
}

LanguageDownloader::LanguageDownloader(QNetworkAccessManager& network, QString targetDir,
                                       QObject* parent)
    : QObject(parent), m_network(network), m_targetDir(std::move(targetDir))
{
}

LanguageDownloader::~LanguageDownloader()
{
    if (m_reply) {
        m_reply->abort();
    }
}

void LanguageDownloader::start(const QUrl& base, const QString& language, Progress progress,
                               Done done)
{
    if (isRunning()) {
        done(unexpected(tr("Another language is being downloaded.")));
        return;
    }
    m_language = language;
    m_progress = std::move(progress);
    m_done = std::move(done);
    m_cancelled = false;
    m_writeError.clear();
    if (!RecognitionLanguages::isValidName(language)) {
        finish(unexpected(tr("\"%1\" is not a language name.").arg(language)));
        return;
    }
    QUrl folder = base;
    if (!folder.path().endsWith(u'/')) {
        folder.setPath(folder.path() + u'/');
    }
    const QUrl url = folder.resolved(QUrl(language + QStringLiteral(".traineddata")));
    if (!url.isValid() ||
        !(url.scheme() == u"https" || (url.scheme() == u"http" && isLoopback(url.host())))) {
        finish(unexpected(tr("Languages are downloaded over HTTPS only, not from %1.")
                              .arg(url.toDisplayString())));
        return;
    }
    if (!QDir().mkpath(m_targetDir)) {
        finish(unexpected(tr("The folder %1 cannot be created.").arg(m_targetDir)));
        return;
    }
    // Beside the target, so that the finished file is renamed, not copied.
    m_temp = std::make_shared<QTemporaryDir>(m_targetDir + QStringLiteral("/.download-XXXXXX"));
    m_file = std::make_unique<QFile>(m_temp->filePath(language + QStringLiteral(".traineddata")));
    if (!m_temp->isValid() || !m_file->open(QIODevice::WriteOnly)) {
        finish(unexpected(tr("The folder %1 cannot be written.").arg(m_targetDir)));
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(30'000); // a stalled transfer counts as failed
    m_reply = m_network.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &LanguageDownloader::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &LanguageDownloader::onFinished);
}

void LanguageDownloader::cancel()
{
    if (!isRunning()) {
        return;
    }
    m_cancelled = true;
    if (m_reply) {
        m_reply->abort(); // finishes the reply, which reports the cancellation
    } else {
        finish(unexpected(tr("The download was cancelled."))); // while checking the file
    }
}

void LanguageDownloader::onReadyRead()
{
    const QByteArray chunk = m_reply->readAll();
    if (!m_writeError.isEmpty()) {
        return;
    }
    if (m_file->size() + chunk.size() > maxBytes) {
        m_writeError = tr("The file is larger than any language's data.");
    } else if (m_file->write(chunk) != chunk.size()) {
        m_writeError = tr("The file cannot be written: %1.").arg(m_file->errorString());
    }
    if (!m_writeError.isEmpty()) {
        m_reply->abort();
        return;
    }
    // Reported as the bytes land, not through downloadProgress(), which Qt
    // holds back for the first moments of a transfer.
    if (m_progress) {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        m_progress(m_file->size(), length.isValid() ? length.toLongLong() : -1);
    }
}

void LanguageDownloader::onFinished()
{
    QNetworkReply* reply = m_reply;
    reply->deleteLater();
    m_reply = nullptr;
    if (m_cancelled) {
        finish(unexpected(tr("The download was cancelled.")));
        return;
    }
    if (!m_writeError.isEmpty()) {
        finish(unexpected(m_writeError));
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        finish(unexpected(tr("The server answered %1 for %2.")
                              .arg(QString::number(status), reply->url().toDisplayString())));
        return;
    }
    m_file->write(reply->readAll());
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (status == 200 && length.isValid() && length.toLongLong() != m_file->size()) {
        finish(unexpected(tr("The download was incomplete.")));
        return;
    }
    if (reply->error() != QNetworkReply::NoError || status != 200 || !m_file->flush()) {
        finish(unexpected(tr("The download failed: %1.").arg(reply->errorString())));
        return;
    }
    m_file->close();
    verify();
}

void LanguageDownloader::verify()
{
    // Loading takes up to a second: on a worker, never on the main thread.
    QPointer<LanguageDownloader> self(this);
    QThreadPool::globalInstance()->start([self, temp = m_temp, language = m_language] {
        bool loads = false;
        {
            tesseract::TessBaseAPI api;
            api.SetVariable("debug_file", "/dev/null");
            const QByteArray dir = QFile::encodeName(temp->path());
            loads = api.Init(dir.constData(), language.toLatin1().constData(),
                             tesseract::OEM_LSTM_ONLY) == 0;
            api.End();
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, temp, language, loads] {
                if (!self || self->m_temp != temp) {
                    return; // gone, or cancelled meanwhile
                }
                if (!loads) {
                    self->finish(unexpected(
                        tr("The downloaded file is not language data Tesseract can read.")));
                    return;
                }
                const QString target =
                    self->m_targetDir + u'/' + language + QStringLiteral(".traineddata");
                // rename(2) replaces an earlier copy in one step.
                if (std::rename(
                        QFile::encodeName(temp->filePath(language + QStringLiteral(".traineddata")))
                            .constData(),
                        QFile::encodeName(target).constData()) != 0) {
                    self->finish(unexpected(tr("%1 cannot be written.").arg(target)));
                    return;
                }
                self->finish(target);
            },
            Qt::QueuedConnection);
    });
}

void LanguageDownloader::finish(Expected<QString, QString> outcome)
{
    m_file.reset();
    m_temp.reset(); // removes whatever is left of the download
    m_progress = nullptr;
    const Done done = std::exchange(m_done, nullptr);
    if (done) {
        done(std::move(outcome));
    }
}
