#include "app/AppDelegate.h"
#include "app/OCRCaptureService.h"
#include "capture/OCRService.h"
#include "common/InstanceChannel.h"
#include "feedback/AlertPresenter.h"
#include "feedback/AppIcon.h"
#include "feedback/HUDManager.h"
#include "feedback/QtClipboard.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "platform/DesktopNotifier.h"
#include "platform/ProcessSetup.h"
#include "platform/SecretStoreFactory.h"
#include "platform/X11DisplayCapabilities.h"
#include "settings/Preferences.h"
#include "views/APIKeyDialog.h"
#include "views/HistoryWindow.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTextStream>

#include <cstdio>

namespace {
int printUsage()
{
    QTextStream(stdout)
        << "Usage: quillsnap [--help] [--version]\n\n"
           "Starts the quillsnap tray application. A second start hands over to the\n"
           "running one. Use quillsnap-cli capture or scan to run its commands.\n";
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    ProcessSetup::limitOpenMPThreads(argv);
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            return printUsage();
        }
        if (arg == "--version") {
            QTextStream(stdout) << "quillsnap " << QUILLSNAP_VERSION << "\n";
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillsnap"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLSNAP_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillsnap"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(AppIcon::application());

    InstanceServer instance;
    const QString socketPath = InstanceServer::defaultSocketPath();
    switch (instance.listen(socketPath)) {
    case InstanceServer::ListenResult::listening:
        break;
    case InstanceServer::ListenResult::anotherInstanceRuns:
        InstanceClient::send(socketPath, QStringLiteral("activate"));
        QTextStream(stderr) << "quillsnap is already running\n";
        return 0;
    case InstanceServer::ListenResult::failed:
        QTextStream(stderr) << "quillsnap: cannot listen for commands (" << instance.errorString()
                            << "); quillsnap-cli capture and scan will not reach this instance\n";
        break;
    }

    SecretStoreFactory::installShared();

    QtClipboard clipboard;
    ApplicationBeeper beeper;
    OCRService& ocr = OCRService::shared();
    ocr.setBeeper(&beeper);
    ocr.cleanStaleCaptures();
    OCRCaptureService capture(ocr);
    DesktopNotifier notifier;

    AppDelegate::Services services;
    services.preferences = &Preferences::shared();
    services.history = []() -> HistoryService& { return HistoryService::shared(); };
    services.keychain = &KeychainService::shared();
    services.clipboard = &clipboard;
    services.capture = &capture;
    services.notifier = &notifier;
    services.alerts = &AlertPresenter::shared();
    X11DisplayCapabilities display;
    HUDManager hud(&display);
    services.hud = &hud;
    services.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    services.permissionProbe = [&ocr] { ocr.probeScreenRecordingPermission(); };
    // Windows of one kind replace each other; each reads its state afresh.
    QPointer<APIKeyDialog> keysDialog;
    QPointer<HistoryWindow> historyWindow;
    services.openHistory = [&historyWindow, &clipboard] {
        if (historyWindow) {
            historyWindow->close();
        }
        HistoryViewHooks hooks;
        hooks.confirm = [](const QString& title, const QString& message,
                           std::function<void(bool)> done) {
            AlertPresenter::shared().ask(
                title, message, {QStringLiteral("Clear"), QStringLiteral("Cancel")}, 0,
                AlertPresenter::Style::warning,
                [done = std::move(done)](int chosen) { done(chosen == 0); });
        };
        historyWindow = new HistoryWindow(HistoryService::shared(), clipboard, std::move(hooks));
        historyWindow->setAttribute(Qt::WA_DeleteOnClose);
        historyWindow->setWindowFlag(Qt::WindowStaysOnTopHint);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), historyWindow->size());
            frame.moveCenter(screen->availableGeometry().center());
            historyWindow->move(frame.topLeft());
        }
        historyWindow->show();
        historyWindow->raise();
        historyWindow->activateWindow();
    };
    services.openAPIKeys = [&keysDialog] {
        if (keysDialog) {
            keysDialog->close();
        }
        keysDialog = new APIKeyDialog(KeychainService::shared(),
                                      [](const QString& title, const QString& message) {
                                          AlertPresenter::shared().showInformation(title, message);
                                      });
        keysDialog->setAttribute(Qt::WA_DeleteOnClose);
        keysDialog->present();
    };

    AppDelegate delegate(services);
    QObject::connect(&delegate, &AppDelegate::started, &app,
                     [&] { notifier.setTrayIcon(delegate.statusItem()); });
    QObject::connect(&delegate, &AppDelegate::quitRequested, &app, &QApplication::quit);
    QObject::connect(&instance, &InstanceServer::commandReceived, &delegate,
                     &AppDelegate::handleInstanceCommand);
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, &AppDelegate::shutdown);
    delegate.start();
    return app.exec();
}
