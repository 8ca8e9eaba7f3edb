#pragma once

#include "app/AppMenu.h"
#include "app/CaptureService.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/KeySequence.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>
#include <optional>

class AlertPresenter;
class APIKeyDialog;
class CaptureWorkflow;
class Clipboard;
class CloudSyncService;
class InstanceReply;
class HistoryService;
class HistoryWindow;
class HotkeyManager;
class HotkeyRecorderWindow;
class HUDManager;
class KeychainService;
class LoginItem;
class Notifier;
class OnboardingWindowController;
class Preferences;
class ScreenCapturePermission;
class ShortcutSetup;
class SparkleService;
class SettingsWindow;

// The one place where user commands enter: start-up (first-run window or the
// normal start), the tray icon and its menu, the capture and scan commands,
// the windows, and the in-process notifications from the windows. Main
// thread only.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    // What the delegate works with; every pointer must outlive it. Built in
    // main(), or by tests with their own stand-ins.
    struct Services
    {
        Preferences* preferences = nullptr;
        // The history loads on first use, not at start-up.
        std::function<HistoryService&()> history;
        KeychainService* keychain = nullptr;
        Clipboard* clipboard = nullptr;
        CaptureService* capture = nullptr;
        Notifier* notifier = nullptr;
        AlertPresenter* alerts = nullptr;
        HUDManager* hud = nullptr;         // null: no toasts
        SparkleService* updates = nullptr; // null: no update checks
        // Null: reading the screen needs no permission on this desktop.
        std::shared_ptr<const ScreenCapturePermission> permission;
        // Whether the desktop shows tray icons; null: assume it does.
        std::function<bool()> trayAvailable;
        // The device name recorded with each capture.
        QString deviceName;
        // Watches for the capture key sequence; null: no global key.
        HotkeyManager* hotkeys = nullptr;
        // History sync between machines; started on first use (the first
        // capture, the history window, a sync request). Null: no sync.
        CloudSyncService* sync = nullptr;
        // Starts the application at login; null: the settings cannot change it.
        LoginItem* loginItem = nullptr;
        // Where only the desktop can make a key global: the desktop shortcut
        // for a chord, offered at first run. Null, or returning null: none.
        std::function<std::shared_ptr<ShortcutSetup>(const KeyPress& chord)> shortcutSetup;
        // Sequences of several chords can be watched (X11).
        bool multiChordSequences = true;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Shows the first-run window, or starts normally when it was completed.
    void start();
    // Shut-down: releases the global key sequence.
    void shutdown();

    // Commands (menu, key sequence, command-line tool).
    // With a region (logical desktop coordinates) it is captured at once,
    // without the picker.
    void captureScreenshot(std::optional<QRect> region = std::nullopt);
    void scanBarcode(std::optional<QRect> region = std::nullopt);
    void toggleAdditiveClipboard();
    void toggleAIEnhanced();
    void selectProvider(const QString& identifier);
    void selectOpenAIModel(const QString& identifier);
    void selectGeminiModel(const QString& identifier);
    void configureAPIKey();
    void openHistory();
    // A check for a newer version that the user asked for (menu, settings).
    void checkForUpdates();
    void quit();
    // Opens the key sequence recorder in place of an open one.
    void configureHotkey();
    // Opens the settings window in place of an open one.
    void openSettings();

    // A command handed over by a second start or quillsnap-cli.
    void handleInstanceCommand(const QString& command);
    // A request of quillsnap-cli answered once done: "sync" (one sync run),
    // "import" (records of a history export in payload).
    void handleInstanceRequest(const QString& command, const QByteArray& payload,
                               const InstanceReply& reply);

    // State, for the tray and for tests.
    bool isRunningNormally() const { return m_started; }
    bool additiveClipboardEnabled() const { return m_additive; }
    const KeySequence& currentKeySequence() const { return m_keySequence; }
    QSystemTrayIcon* statusItem() const { return m_statusItem.get(); }
    QMenu* menu() const { return m_menu.menu(); }
    OnboardingWindowController* onboarding() const { return m_onboarding.get(); }
    HistoryWindow* historyWindow() const;
    APIKeyDialog* apiKeyDialog() const;
    bool hotkeyRegistered() const { return m_hotkeyRegistered; }
    HotkeyRecorderWindow* hotkeyWindow() const;
    SettingsWindow* settingsWindow() const;

signals:
    // The normal start has run (directly, or after the first-run window).
    void started();
    // The tray icon was removed (null) or put back.
    void statusItemChanged(QSystemTrayIcon* icon);
    void quitRequested();

private:
    void normalStart();
    void showOnboarding();
    void loadHotkeySequence();
    void applyStoredSwitches();
    void createStatusItem();
    void rebuildMenu();
    void onHubNotification(const QString& name, const QVariant& object);
    void warmUpRecognizer();
    void startSync();
    void watchHistoryStorage(HistoryService& history);
    // The global key sequence: registered at the normal start, again after a
    // new one is saved and when another application becomes active while it
    // is not registered.
    void watchHotkeys();
    void registerHotkey();
    void appDidActivate();
    void updateHotkey(const KeySequence& sequence);
    void setHotkeyRegistered(bool registered);
    void tellHotkeyRefused(HotkeyError error);

    Services m_s;
    AppMenu m_menu;
    std::unique_ptr<CaptureWorkflow> m_workflow;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    std::unique_ptr<OnboardingWindowController> m_onboarding;
    QPointer<HistoryWindow> m_historyWindow;
    QPointer<APIKeyDialog> m_apiKeyDialog;
    QPointer<HotkeyRecorderWindow> m_hotkeyWindow;
    QPointer<SettingsWindow> m_settingsWindow;
    KeySequence m_keySequence = KeySequence::defaultSequence();
    bool m_additive = false;
    bool m_started = false;
    bool m_warmedUp = false;
    bool m_toldNoTray = false;
    bool m_watchingHistory = false;
    bool m_toldHistoryUnsaved = false;
    bool m_hotkeyRegistered = false;
    bool m_syncStarted = false;
    std::optional<KeySequence> m_toldHotkeyRefused; // told once per sequence
};
