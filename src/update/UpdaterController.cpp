#include "update/UpdaterController.h"

#include "common/Clock.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "update/HttpGet.h"

#include <QDebug>

namespace {
constexpr qint64 maxReleaseNotesBytes = 1024 * 1024;
}

UpdaterController::UpdaterController(const Setup& setup, QObject* parent)
    : QObject(parent), m_prefs(*setup.preferences), m_clock(*setup.clock),
      m_network(*setup.network), m_checker(*setup.network, setup.versions),
      m_downloader(*setup.network, SignatureVerifier(setup.publicKey), setup.downloadFolder)
{
    m_schedule.setInterval(scheduleTickMs);
    connect(&m_schedule, &QTimer::timeout, this, &UpdaterController::checkIfDue);
    m_schedule.start();
}

QUrl UpdaterController::feedUrl() const
{
    return QUrl(m_prefs.updateFeedURL(), QUrl::StrictMode);
}

void UpdaterController::checkForUpdates()
{
    m_prefs.setValue(PreferenceKeys::suLastCheckTime, m_clock.now());
    emit userCheckStarted();
    m_checker.check(feedUrl(),
                    [this](const UpdateCheckOutcome& outcome) { emit userCheckFinished(outcome); });
}

void UpdaterController::checkIfDue()
{
    if (!m_prefs.automaticUpdateChecks() || m_automaticCheckRunning) {
        return;
    }
    const QDateTime now = m_clock.now();
    const auto last = m_prefs.dateValue(PreferenceKeys::suLastCheckTime);
    // A last check in the future means the clock was set back: check now.
    if (last && *last <= now && last->msecsTo(now) < checkIntervalMs) {
        return;
    }
    m_prefs.setValue(PreferenceKeys::suLastCheckTime, now);
    m_automaticCheckRunning = true;
    m_checker.check(feedUrl(), [this](const UpdateCheckOutcome& outcome) {
        m_automaticCheckRunning = false;
        automaticOutcome(outcome);
        emit automaticCheckFinished(outcome);
    });
}

void UpdaterController::automaticOutcome(const UpdateCheckOutcome& outcome)
{
    if (outcome.kind == UpdateCheckOutcome::Kind::failed) {
        // Nobody asked: no window; the next day's check tries again.
        qInfo().noquote() << outcome.error;
        return;
    }
    if (outcome.kind != UpdateCheckOutcome::Kind::available) {
        return;
    }
    const AppcastItem& item = outcome.item;
    if (item.version == m_prefs.stringValue(PreferenceKeys::suSkippedVersion) ||
        item.version == m_announcedVersion) {
        return;
    }
    m_announcedVersion = item.version;
    if (!m_prefs.automaticallyUpdate()) {
        emit updateFound(item);
        return;
    }
    m_downloader.download(item, [this, item](Expected<QString, QString> kept) {
        if (kept) {
            emit updateDownloaded(item, *kept);
        } else {
            emit updateDownloadFailed(item, kept.error());
        }
    });
}

void UpdaterController::downloadUpdate(const AppcastItem& item, UpdateDownloader::Done done)
{
    m_downloader.download(item, std::move(done));
}

void UpdaterController::skipVersion(const AppcastItem& item)
{
    m_prefs.setValue(PreferenceKeys::suSkippedVersion, item.version);
}

void UpdaterController::fetchReleaseNotes(const AppcastItem& item,
                                          std::function<void(QString html)> done)
{
    if (!item.releaseNotesLink.isValid()) {
        done(item.description);
        return;
    }
    HttpGet::get(m_network, item.releaseNotesLink, maxReleaseNotesBytes, this,
                 [item, done = std::move(done)](Expected<HttpGet::Body, QString> body) {
                     if (!body) {
                         const QString problem =
                             tr("<p>The release notes cannot be loaded: %1.</p>")
                                 .arg(body.error().toHtmlEscaped());
                         done(problem + item.description);
                         return;
                     }
                     const QString text = QString::fromUtf8(body->data);
                     const bool html = body->contentType.contains(QLatin1String("html")) ||
                                       text.trimmed().startsWith(u'<');
                     done(html ? text : QStringLiteral("<pre>%1</pre>").arg(text.toHtmlEscaped()));
                 });
}
