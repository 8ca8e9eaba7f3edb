#pragma once

#include "update/UpdateChecker.h"
#include "update/UpdateDownloader.h"

#include <QObject>
#include <QTimer>

class Clock;
class Preferences;
class QNetworkAccessManager;

// Runs the checks: the ones the user asks for, and from its creation on a
// check once a day while "SUEnableAutomaticChecks" is on. An automatic check
// announces each newer version once (unless the user skipped it) or, with
// "SUAutomaticallyUpdate" on, downloads and verifies its package first.
// Nothing it downloads is ever opened or installed by it. Main thread only.
class UpdaterController : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 checkIntervalMs = 24 * 60 * 60 * 1000;
    // How often the schedule looks at the clock; a day may pass in suspend.
    static constexpr int scheduleTickMs = 60 * 60 * 1000;

    struct Setup
    {
        Preferences* preferences = nullptr;
        Clock* clock = nullptr;
        QNetworkAccessManager* network = nullptr;
        UpdateChecker::Versions versions;
        QByteArray publicKey;   // base64 Ed25519
        QString downloadFolder; // where packages are kept
    };

    explicit UpdaterController(const Setup& setup, QObject* parent = nullptr);

    // A check the user asked for: the outcome comes as userCheckFinished.
    void checkForUpdates();
    // The schedule's step: an automatic check when one is due.
    void checkIfDue();

    void downloadUpdate(const AppcastItem& item, UpdateDownloader::Done done);
    void cancelDownload() { m_downloader.cancel(); }
    void skipVersion(const AppcastItem& item);
    // The release notes as HTML: from the notes link, else the description.
    void fetchReleaseNotes(const AppcastItem& item, std::function<void(QString html)> done);

    UpdateDownloader& downloader() { return m_downloader; }
    const UpdateChecker::Versions& versions() const { return m_checker.versions(); }

signals:
    void userCheckStarted();
    void userCheckFinished(const UpdateCheckOutcome& outcome);
    // Automatic checks only: each one's end, and a newer version once.
    void automaticCheckFinished(const UpdateCheckOutcome& outcome);
    void updateFound(const AppcastItem& item);
    void updateDownloaded(const AppcastItem& item, const QString& path);
    void updateDownloadFailed(const AppcastItem& item, const QString& message);

private:
    void automaticOutcome(const UpdateCheckOutcome& outcome);
    QUrl feedUrl() const;

    Preferences& m_prefs;
    Clock& m_clock;
    QNetworkAccessManager& m_network;
    UpdateChecker m_checker;
    UpdateDownloader m_downloader;
    QTimer m_schedule;
    bool m_automaticCheckRunning = false;
    QString m_announcedVersion;
};
