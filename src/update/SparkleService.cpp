#include "update/SparkleService.h"

#include "common/Clock.h"
#include "feedback/Notifier.h"
#include "update/UpdateConfig.h"
#include "update/UpdateWindow.h"
#include "update/UpdaterController.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QStandardPaths>

SparkleService::Setup SparkleService::defaultSetup(Preferences& preferences, Notifier& notifier)
{
    Setup setup;
    setup.preferences = &preferences;
    setup.notifier = &notifier;
    setup.clock = &Clock::system();
    setup.versions = {UpdateConfig::currentVersion(), UpdateConfig::systemVersion()};
    setup.publicKey = UpdateConfig::publicKey();
    setup.downloadFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    setup.open = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return setup;
}

SparkleService::SparkleService(Setup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup))
{
}

SparkleService::~SparkleService()
{
    delete m_window.data();
    // The controller's replies belong to the network manager: controller first.
    m_updaterController.reset();
}

UpdateWindow* SparkleService::window() const
{
    return m_window;
}

void SparkleService::checkForUpdates()
{
    if (!m_updaterController) {
        m_network = std::make_unique<QNetworkAccessManager>();
        UpdaterController::Setup s;
        s.preferences = m_setup.preferences;
        s.clock = m_setup.clock;
        s.network = m_network.get();
        s.versions = m_setup.versions;
        s.publicKey = m_setup.publicKey;
        s.downloadFolder = m_setup.downloadFolder;
        m_updaterController = std::make_unique<UpdaterController>(s);
        UpdaterController* c = m_updaterController.get();
        connect(c, &UpdaterController::userCheckStarted, this,
                [this] { showWindow().showChecking(); });
        connect(c, &UpdaterController::userCheckFinished, this,
                &SparkleService::onUserCheckFinished);
        connect(c, &UpdaterController::updateFound, this, [this](const AppcastItem& item) {
            m_setup.notifier->post(
                tr("quillsnap %1 is available").arg(item.displayVersion()),
                tr("You have %1. Choose \"Check for Updates...\" in the quillsnap menu to see "
                   "what is new.")
                    .arg(m_setup.versions.current));
        });
        connect(c, &UpdaterController::updateDownloaded, this,
                [this](const AppcastItem& item, const QString& path) {
                    m_setup.notifier->post(
                        tr("quillsnap %1 is ready to install").arg(item.displayVersion()),
                        tr("The package was saved as %1 and its signature was checked. Open it "
                           "to install it with your system's package installer.")
                            .arg(path));
                });
        connect(c, &UpdaterController::updateDownloadFailed, this,
                [this](const AppcastItem& item, const QString& message) {
                    m_setup.notifier->post(
                        tr("quillsnap %1 was not downloaded").arg(item.displayVersion()), message);
                });
        connect(&c->downloader(), &UpdateDownloader::progress, this,
                [this](qint64 received, qint64 total) {
                    if (m_window && m_windowDownloading) {
                        m_window->showDownloading(m_offered.displayVersion(), received, total);
                    }
                });
    }
    m_updaterController->checkForUpdates();
}

UpdateWindow& SparkleService::showWindow()
{
    if (!m_window) {
        m_window = new UpdateWindow;
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_window, &UpdateWindow::downloadRequested, this, &SparkleService::download);
        connect(m_window, &UpdateWindow::skipRequested, this, [this] {
            m_updaterController->skipVersion(m_offered);
            closeWindow();
        });
        connect(m_window, &UpdateWindow::remindLaterRequested, this, &SparkleService::closeWindow);
        // Closing the window also ends a download it started (not an
        // automatic one running at the same time).
        connect(m_window, &UpdateWindow::cancelRequested, this, [this] {
            if (m_windowDownloading) {
                m_updaterController->cancelDownload();
            }
            closeWindow();
        });
        connect(m_window, &UpdateWindow::openRequested, this, [this] {
            m_setup.open(QUrl::fromLocalFile(m_readyPath));
            closeWindow();
        });
        connect(m_window, &UpdateWindow::showInFolderRequested, this, [this] {
            m_setup.open(QUrl::fromLocalFile(QFileInfo(m_readyPath).absolutePath()));
        });
    }
    m_readyPath.clear();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return *m_window;
}

void SparkleService::closeWindow()
{
    if (m_window) {
        m_window->close();
    }
}

void SparkleService::onUserCheckFinished(const UpdateCheckOutcome& outcome)
{
    if (!m_window) {
        return; // the user closed the window while it was checking
    }
    switch (outcome.kind) {
    case UpdateCheckOutcome::Kind::upToDate:
        m_window->showUpToDate(m_setup.versions.current);
        break;
    case UpdateCheckOutcome::Kind::failed:
        m_window->showError(outcome.error);
        break;
    case UpdateCheckOutcome::Kind::available:
        m_offered = outcome.item;
        m_window->showAvailable(m_offered.displayVersion(), m_setup.versions.current);
        m_updaterController->fetchReleaseNotes(
            m_offered, [this, window = m_window, version = m_offered.version](const QString& html) {
                if (window && m_offered.version == version) {
                    window->setReleaseNotes(html);
                }
            });
        break;
    }
}

void SparkleService::download()
{
    m_window->showDownloading(m_offered.displayVersion(), 0, m_offered.enclosureLength);
    m_windowDownloading = true;
    m_updaterController->downloadUpdate(
        m_offered, [this, window = m_window, item = m_offered](Expected<QString, QString> kept) {
            m_windowDownloading = false;
            if (!window) {
                return;
            }
            if (kept) {
                m_readyPath = *kept;
                window->showReady(item.displayVersion(), *kept);
            } else {
                window->showError(kept.error());
            }
        });
}
