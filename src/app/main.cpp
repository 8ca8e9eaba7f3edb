// The tray application: builds the services, wires them to their Linux
// backends and hands control to the delegate.
#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/OCRCaptureService.h"
#include "app/PreferencesHistoryLimits.h"
#include "capture/OCRService.h"
#include "capture/RecognitionLanguages.h"
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/DesktopEnvironment.h"
#include "common/InstanceChannel.h"
#include "feedback/AlertPresenter.h"
#include "feedback/AppIcon.h"
#include "feedback/HUDManager.h"
#include "feedback/QtClipboard.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryItem.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "hotkeys/HotkeyManager.h"
#include "platform/DesktopNotifier.h"
#include "platform/DesktopShortcutSetup.h"
#include "platform/HotkeyBackendFactory.h"
#include "platform/ProcessLifetime.h"
#include "platform/ProcessSetup.h"
#include "platform/SecretServiceWatcher.h"
#include "platform/SecretStoreFactory.h"
#include "platform/WaylandClipboard.h"
#include "platform/WaylandDisplayCapabilities.h"
#include "platform/WaylandScreenCapturePermission.h"
#include "platform/X11DisplayCapabilities.h"
#include "platform/X11ScreenCapturePermission.h"
#include "platform/XdgAutostartLoginItem.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/CloudSyncService.h"
#include "update/SparkleService.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextStream>

#include <optional>

namespace {

// On-device recognition reads the languages chosen in the settings (English
// and the user's locale until a choice is made); a new choice reloads the
// warm engine on its worker thread.
void followRecognitionLanguages(OCRService& ocr, Preferences& preferences)
{
    const auto apply = [&ocr, &preferences] {
        ocr.setRecognitionLanguages(
            RecognitionLanguages::effective(
                preferences.stringValue(PreferenceKeys::recognitionLanguages),
                RecognitionLanguages::installed()),
            {RecognitionLanguages::userDataDirectory()});
    };
    apply();
    QObject::connect(&preferences, &Preferences::changed, &ocr, [apply](const QString& key) {
        if (key == PreferenceKeys::recognitionLanguages) {
            apply();
        }
    });
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSetup::limitOpenMPThreads(argv);
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (const auto request = CommandLine::parse(arguments);
        request.action != CommandLine::Request::Action::run) {
        QTextStream(stdout) << request.text;
        return 0;
    }

    ProcessSetup::preferWaylandPlatform();
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

    // SIGTERM and friends end the event loop, so that everything below is
    // torn down the normal way (the picker, if open, goes with it).
    ProcessLifetime::quitOnTerminationSignals(0);

    Preferences preferences(AppPaths::configDir() + QStringLiteral("/quillsnap.conf"));
    const std::shared_ptr<SecretStore> secretStore = SecretStoreFactory::create();
    AsyncSecretStore secrets(secretStore);
    SecretServiceWatcher keyringWatcher;
    QObject::connect(&keyringWatcher, &SecretServiceWatcher::availabilityChanged, &secrets,
                     &AsyncSecretStore::announceAvailabilityChange);
    KeychainService keychain(secrets);
    EncryptionService encryption(secrets);
    // The history loads (and asks the keyring for its key) at first use,
    // kept within the limits chosen in the settings.
    PreferencesHistoryLimits historyLimits(preferences);
    std::optional<HistoryService> history;
    const auto historyService = [&]() -> HistoryService& {
        if (!history) {
            history.emplace(AppPaths::dataDir(), encryption, Clock::system());
            history->setLimits(&historyLimits);
            QObject::connect(&secrets, &AsyncSecretStore::availabilityChanged, &*history,
                             &HistoryService::retryKey);
        }
        return *history;
    };

    CloudSyncService sync(preferences, secrets, historyService, AppPaths::dataDir(),
                          Clock::system());
    // The session decides the backends: Qt runs on the wayland platform in a
    // Wayland session (nothing forces xcb), and the X11 backends would fail
    // silently there (a black screen grab, keys seen only by our windows, a
    // clipboard the compositor ignores).
    const bool wayland = QApplication::platformName() == QLatin1String("wayland");
    const DesktopEnvironment::Session& session = DesktopEnvironment::current();
    std::unique_ptr<Clipboard> clipboard;
    if (wayland && WaylandClipboard::isAvailable()) {
        clipboard = std::make_unique<WaylandClipboard>();
    } else {
        clipboard = std::make_unique<QtClipboard>();
    }
    ApplicationBeeper beeper;
    OCRService& ocr = OCRService::shared();
    ocr.setBeeper(&beeper);
    ocr.setRoutingServices(&preferences, &keychain);
    ocr.cleanStaleCaptures();
    followRecognitionLanguages(ocr, preferences);
    OCRCaptureService capture(ocr);
    DesktopNotifier notifier;
    std::unique_ptr<DisplayCapabilities> display;
    if (wayland) {
        display = std::make_unique<WaylandDisplayCapabilities>();
    } else {
        display = std::make_unique<X11DisplayCapabilities>();
    }
    HUDManager hud(display.get());
    hud.setNotifier(&notifier);
    // Idle until the user first checks for updates.
    SparkleService updates(SparkleService::defaultSetup(preferences, notifier));
    // The loading toast while a cloud provider reads a capture; it goes
    // before the outcome reaches the workflow.
    QObject::connect(&ocr, &OCRService::providerRequestStarted, &hud, &HUDManager::showLoading);
    QObject::connect(&ocr, &OCRService::providerRequestEnded, &hud, &HUDManager::hideLoading);

    AppDelegate::Services services;
    services.preferences = &preferences;
    services.history = historyService;
    services.keychain = &keychain;
    services.clipboard = clipboard.get();
    services.capture = &capture;
    services.notifier = &notifier;
    services.alerts = &AlertPresenter::shared();
    services.hud = &hud;
    services.updates = &updates;
    if (wayland) {
        services.permission = std::make_shared<WaylandScreenCapturePermission>(session);
        services.multiChordSequences = false;
        // The command-line tool beside this binary (a build tree), else from PATH.
        const QString besides =
            QApplication::applicationDirPath() + QStringLiteral("/quillsnap-cli");
        const QString cli =
            QFileInfo(besides).isExecutable() && !besides.startsWith(QLatin1String("/usr/"))
                ? besides
                : QStringLiteral("quillsnap-cli");
        if (DesktopShortcutSetup::methodFor(session)) {
            services.shortcutSetup = [session, cli](const KeyPress& chord) {
                return std::make_shared<DesktopShortcutSetup>(session, chord,
                                                              cli + QStringLiteral(" capture"));
            };
        }
    } else {
        services.permission = std::make_shared<X11ScreenCapturePermission>();
    }
    services.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    services.deviceName = HistoryItem::defaultDeviceName();
    services.sync = &sync;
    XdgAutostartLoginItem loginItem;
    services.loginItem = &loginItem;

    // The global key sequence, shown with the names of the user's layout.
    const std::unique_ptr<HotkeyBackend> hotkeyBackend = HotkeyBackendFactory::create();
    HotkeyManager& hotkeys = HotkeyManager::shared();
    hotkeys.setBackend(hotkeyBackend.get());
    setKeyNameProvider(
        [backend = hotkeyBackend.get()](quint32 keyCode) { return backend->keyName(keyCode); });
    services.hotkeys = &hotkeys;

    AppDelegate delegate(services);
    if (wayland && !WaylandClipboard::isAvailable()) {
        notifier.post(QApplication::translate("main", "Clipboard may not work"),
                      QApplication::translate("main", "Install wl-clipboard (wl-copy) so that "
                                                      "quillsnap can copy text on Wayland."));
    }
    QObject::connect(&delegate, &AppDelegate::statusItemChanged, &app,
                     [&notifier](QSystemTrayIcon* icon) { notifier.setTrayIcon(icon); });
    QObject::connect(&delegate, &AppDelegate::quitRequested, &app, &QApplication::quit);
    QObject::connect(&instance, &InstanceServer::commandReceived, &delegate,
                     &AppDelegate::handleInstanceCommand);
    QObject::connect(&instance, &InstanceServer::requestReceived, &delegate,
                     &AppDelegate::handleInstanceRequest);
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, &AppDelegate::shutdown);
    delegate.start();
    const int status = app.exec();
    // The service outlives this function; the preferences and keys do not.
    ocr.setRoutingServices(nullptr, nullptr);
    return status;
}
