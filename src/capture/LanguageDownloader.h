#pragma once

#include "common/Expected.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryDir;
class QFile;

// Downloads the trained data of one recognition language, BASE/NAME.traineddata,
// into a folder (the user's tessdata). The data goes to a temporary folder
// beside the target, is checked by loading it into Tesseract on a worker
// thread, and only then is renamed into place; a failed, truncated or
// cancelled download leaves nothing behind and an earlier copy untouched.
// Addresses must be HTTPS, or plain HTTP to this machine (tests).
//
// One download at a time; callbacks run on the downloader's thread while it
// lives, `done` exactly once per start().
class LanguageDownloader : public QObject
{
    Q_OBJECT
public:
    // The public tessdata repository of fast models (those Debian ships).
    static QUrl defaultBaseUrl();
    // Larger answers are refused.
    static constexpr qint64 maxBytes = 256 * 1024 * 1024;

    using Progress = std::function<void(qint64 received, qint64 total)>; // total -1: unknown
    // The installed file, or why there is none (a sentence).
    using Done = std::function<void(Expected<QString, QString>)>;

    LanguageDownloader(QNetworkAccessManager& network, QString targetDir,
                       QObject* parent = nullptr);
    ~LanguageDownloader() override;

    void start(const QUrl& base, const QString& language, Progress progress, Done done);
    // Stops the download; `done` reports it as cancelled.
    void cancel();
    bool isRunning() const { return bool(m_done); }

private:
    void onReadyRead();
    void onFinished();
    void verify();
    void finish(Expected<QString, QString> outcome);

    QNetworkAccessManager& m_network;
    QString m_targetDir;
    QString m_language;
    Progress m_progress;
    Done m_done;
    QPointer<QNetworkReply> m_reply;
    std::shared_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QFile> m_file;
    QString m_writeError;
    bool m_cancelled = false;
};
