#pragma once

#include "common/Expected.h"
#include "update/Appcast.h"
#include "update/SignatureVerifier.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

// Downloads a release's package into a folder and keeps it only when its
// Ed25519 signature verifies. It never opens or installs what it downloads.
class UpdateDownloader : public QObject
{
    Q_OBJECT
public:
    // Without an announced length, a package may not be larger than this.
    static constexpr qint64 maxUnannouncedBytes = qint64(1) << 30;

    using Done = std::function<void(Expected<QString, QString>)>; // path, or a sentence

    UpdateDownloader(QNetworkAccessManager& network, SignatureVerifier verifier, QString folder,
                     QObject* parent = nullptr);
    ~UpdateDownloader() override;

    // One download at a time; `done` runs once, after download() returned.
    void download(const AppcastItem& item, Done done);
    void cancel();
    bool isBusy() const { return static_cast<bool>(m_done); }

    // Where the package of item is kept: its file name from the address, in
    // the folder.
    QString targetPath(const AppcastItem& item) const;

signals:
    void progress(qint64 received, qint64 total); // total -1 when unknown

private:
    void onReadyRead();
    void onFinished();
    void startTransfer();
    void verifyAndKeep();
    void finish(Expected<QString, QString> result);
    QString failureText(SignatureVerifier::Result result) const;

    QNetworkAccessManager& m_network;
    SignatureVerifier m_verifier;
    QString m_folder;
    AppcastItem m_item;
    Done m_done;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QTemporaryFile> m_file;
    qint64 m_received = 0;
    qint64 m_limit = 0;
    QString m_abortReason;
};
