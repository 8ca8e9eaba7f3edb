#pragma once

#include "update/Appcast.h"
#include "update/UpdateChecker.h"

#include <QObject>
#include <QPointer>

#include <memory>

class Clock;
class Notifier;
class Preferences;
class QNetworkAccessManager;
class UpdaterController;
class UpdateWindow;

// The one update service of the application. Nothing runs until the user
// first asks for a check ("Check for Updates..." in the menu or the settings
// window): that creates the updater controller, which from then on also runs
// the daily automatic checks. Checks the user asks for answer in a window;
// automatic ones only with a desktop notification. Main thread only.
class SparkleService : public QObject
{
    Q_OBJECT
public:
    struct Setup
    {
        Preferences* preferences = nullptr;
        Notifier* notifier = nullptr;
        Clock* clock = nullptr;
        UpdateChecker::Versions versions;
        QByteArray publicKey; // base64 Ed25519
        QString downloadFolder;
        // Hands a file or folder to the desktop (the package installer, the file manager).
        std::function<void(const QUrl&)> open;
    };

    // The program's own configuration: its version and key, the system
    // clock, the user's download folder, the desktop's default handlers.
    static Setup defaultSetup(Preferences& preferences, Notifier& notifier);

    explicit SparkleService(Setup setup, QObject* parent = nullptr);
    ~SparkleService() override;

    // A check the user asked for; the first one creates the controller.
    void checkForUpdates();

    UpdaterController* updaterController() const { return m_updaterController.get(); }
    UpdateWindow* window() const;

private:
    UpdateWindow& showWindow();
    void onUserCheckFinished(const UpdateCheckOutcome& outcome);
    void download();
    void closeWindow();

    Setup m_setup;
    std::unique_ptr<QNetworkAccessManager> m_network; // with the controller
    std::unique_ptr<UpdaterController> m_updaterController;
    QPointer<UpdateWindow> m_window;
    AppcastItem m_offered; // the release the window shows
    QString m_readyPath;
    bool m_windowDownloading = false;
};
