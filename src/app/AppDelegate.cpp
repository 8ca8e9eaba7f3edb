#include "app/AppDelegate.h"

#include "app/CaptureWorkflow.h"
#include "common/CaptureRegion.h"
#include "common/InstanceChannel.h"
#include "common/NotificationHub.h"
#include "feedback/AlertPresenter.h"
#include "feedback/AppIcon.h"
#include "feedback/Clipboard.h"
#include "feedback/HUDManager.h"
#include "feedback/Notifier.h"
#include "history/HistoryImport.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/HotkeyRecorderWindow.h"
#include "hotkeys/ShortcutSetup.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/CloudSyncService.h"
#include "update/SparkleService.h"
#include "views/APIKeyDialog.h"
#include "views/HistoryWindow.h"
#include "views/OnboardingWindowController.h"
#include "views/SettingsWindow.h"
#include "views/SyncFooter.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

namespace {

// Windows open centred on the primary screen, above other windows, active.
void presentCentred(QWidget* window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlag(Qt::WindowStaysOnTopHint);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), m_s(std::move(services))
{
    m_workflow = std::make_unique<CaptureWorkflow>(*m_s.clipboard, m_s.history, m_s.deviceName);
    connect(m_workflow.get(), &CaptureWorkflow::alertRequested, this,
            [this](const QString& title, const QString& message) {
                m_s.alerts->showInformation(title, message);
            });
    connect(m_workflow.get(), &CaptureWorkflow::notificationRequested, this,
            [this](const QString& title, const QString& body) { m_s.notifier->post(title, body); });
    if (m_s.hud) {
        connect(m_workflow.get(), &CaptureWorkflow::loadingToastHideRequested, m_s.hud,
                &HUDManager::hideLoading);
        connect(m_workflow.get(), &CaptureWorkflow::confirmationToastRequested, m_s.hud,
                &HUDManager::show);
    }
    connect(m_workflow.get(), &CaptureWorkflow::captureRecorded, this,
            [this](const HistoryItem& item) {
                watchHistoryStorage(m_s.history());
                startSync();
                // Sent at once when sync is on; a failure waits for the next run.
                if (m_s.sync && m_s.sync->iCloudSyncEnabled()) {
                    m_s.sync->uploadItem(item);
                }
            });

    connect(&m_menu, &AppMenu::captureRequested, this, [this] { captureScreenshot(); });
    connect(&m_menu, &AppMenu::scanRequested, this, [this] { scanBarcode(); });
    connect(&m_menu, &AppMenu::additiveToggled, this, &AppDelegate::toggleAdditiveClipboard);
    connect(&m_menu, &AppMenu::historyRequested, this, &AppDelegate::openHistory);
    connect(&m_menu, &AppMenu::aiEnhancedToggled, this, &AppDelegate::toggleAIEnhanced);
    connect(&m_menu, &AppMenu::providerSelected, this, &AppDelegate::selectProvider);
    connect(&m_menu, &AppMenu::openAIModelSelected, this, &AppDelegate::selectOpenAIModel);
    connect(&m_menu, &AppMenu::geminiModelSelected, this, &AppDelegate::selectGeminiModel);
    connect(&m_menu, &AppMenu::apiKeysRequested, this, &AppDelegate::configureAPIKey);
    connect(&m_menu, &AppMenu::updateCheckRequested, this, &AppDelegate::checkForUpdates);
    connect(&m_menu, &AppMenu::settingsRequested, this, &AppDelegate::openSettings);
    connect(&m_menu, &AppMenu::quitRequested, this, &AppDelegate::quit);
}

AppDelegate::~AppDelegate()
{
    delete m_historyWindow.data();
    delete m_apiKeyDialog.data();
    delete m_hotkeyWindow.data();
    delete m_settingsWindow.data();
}

HistoryWindow* AppDelegate::historyWindow() const
{
    return m_historyWindow;
}

APIKeyDialog* AppDelegate::apiKeyDialog() const
{
    return m_apiKeyDialog;
}

void AppDelegate::start()
{
    const QString problem = m_s.preferences->loadProblem();
    if (!problem.isEmpty()) {
        m_s.notifier->post(tr("Settings not loaded"),
                           tr("%1. quillsnap runs with its default settings and leaves the file "
                              "as it is.")
                               .arg(problem));
    }
    if (!m_s.preferences->hasCompletedOnboarding()) {
        showOnboarding();
        return;
    }
    normalStart();
}

void AppDelegate::showOnboarding()
{
    loadHotkeySequence();
    OnboardingOptions options;
    options.permission = m_s.permission;
    options.keySequenceText = m_keySequence.displayString();
    options.probe = [capture = m_s.capture] { capture->probeScreenRecordingPermission({}); };
    if (m_s.shortcutSetup) {
        options.shortcutSetup = m_s.shortcutSetup(
            m_keySequence.presses.value(0, KeySequence::defaultSequence().presses.value(0)));
    }
    m_onboarding = std::make_unique<OnboardingWindowController>(*m_s.preferences, options);
    connect(m_onboarding.get(), &OnboardingWindowController::closed, this, [this](bool completed) {
        // Let the window finish closing before the controller goes.
        QMetaObject::invokeMethod(
            this,
            [this, completed] {
                m_onboarding.reset();
                if (completed) {
                    normalStart();
                } else {
                    quit();
                }
            },
            Qt::QueuedConnection);
    });
    m_onboarding->showWindow();
}

void AppDelegate::normalStart()
{
    if (m_started) {
        return;
    }
    m_started = true;
    loadHotkeySequence();
    applyStoredSwitches();
    createStatusItem();
    rebuildMenu();
    watchHotkeys();
    registerHotkey();
    connect(&NotificationHub::shared(), &NotificationHub::posted, this,
            &AppDelegate::onHubNotification);
    emit started();
}

void AppDelegate::shutdown()
{
    if (m_s.hotkeys) {
        m_s.hotkeys->unregister();
    }
}

void AppDelegate::loadHotkeySequence()
{
    Preferences& prefs = *m_s.preferences;
    if (const auto stored = prefs.stringValue(PreferenceKeys::hotkeySequence)) {
        if (const auto decoded = KeySequence::fromJSONString(*stored)) {
            m_keySequence = *decoded;
            return;
        }
    }
    const auto keyCode = prefs.uint32Value(PreferenceKeys::hotkeyKeyCode);
    const auto modifiers = prefs.uint32Value(PreferenceKeys::hotkeyModifiers);
    if (keyCode && modifiers) {
        KeySequence migrated;
        migrated.presses = {KeyPress{*keyCode, *modifiers}};
        migrated.maxTimeBetweenKeys = 0.5;
        m_keySequence = migrated;
        if (const auto json = migrated.toJSONString()) {
            prefs.setValue(PreferenceKeys::hotkeySequence, *json);
        }
    }
}

void AppDelegate::applyStoredSwitches()
{
    // The additive flag is the settings switch's: both always agree.
    m_additive = m_s.preferences->additiveClipboardEnabled();
    m_workflow->setAdditiveClipboard(m_additive);
    // The tray icon is back at every start; the switch shows it.
    if (!m_s.preferences->showMenuBarIcon()) {
        m_s.preferences->setValue(PreferenceKeys::showMenuBarIcon, true);
    }
}

void AppDelegate::createStatusItem()
{
    if (m_statusItem) {
        return;
    }
    m_statusItem = std::make_unique<QSystemTrayIcon>(AppIcon::application());
    m_statusItem->setToolTip(tr("Screen to Text"));
    m_statusItem->setContextMenu(m_menu.menu());
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A left click opens the same menu as a right click.
                if (reason == QSystemTrayIcon::Trigger && m_menu.menu()) {
                    m_menu.menu()->popup(QCursor::pos());
                }
            });
    m_statusItem->show();
    emit statusItemChanged(m_statusItem.get());
    if (m_s.trayAvailable && !m_s.trayAvailable() && !m_toldNoTray) {
        // Some desktops have no tray (GNOME without an extension): say once
        // how to reach the commands, or the app would seem not to run.
        m_toldNoTray = true;
        m_s.notifier->post(tr("quillsnap is running"),
                           tr("No system tray was found. Run \"quillsnap-cli capture\" "
                              "(for example from a keyboard shortcut) to capture text."));
    }
}

void AppDelegate::rebuildMenu()
{
    const Preferences& prefs = *m_s.preferences;
    AppMenuState state;
    // A key that does nothing is not promised.
    state.keySequenceText = m_hotkeyRegistered ? m_keySequence.menuDisplayString() : QString();
    state.additiveClipboard = m_additive;
    state.aiEnhanced = prefs.aiEnhancedOCREnabled();
    state.provider = prefs.aiProvider();
    state.openaiModel = prefs.openaiModel();
    state.geminiModel = prefs.geminiModelForMenu();
    state.updatesAvailable = m_s.updates != nullptr;
    state.settingsAvailable = true;
    QMenu* menu = m_menu.rebuild(state);
    if (m_statusItem) {
        m_statusItem->setContextMenu(menu);
    }
}

void AppDelegate::warmUpRecognizer()
{
    // The engine loads while the user drags out the first region, so the
    // tray stays small until the first capture and that capture is not slower.
    if (!m_warmedUp) {
        m_warmedUp = true;
        m_s.capture->warmUp();
    }
}

void AppDelegate::watchHistoryStorage(HistoryService& history)
{
    // Captures that cannot be saved (a locked keyring) stay in memory; say so
    // once, and again only after they were saved in between.
    const auto report = [this](HistoryService::Storage storage) {
        if (storage == HistoryService::Storage::saved) {
            m_toldHistoryUnsaved = false;
            return;
        }
        if (storage == HistoryService::Storage::loading || m_toldHistoryUnsaved) {
            return;
        }
        m_toldHistoryUnsaved = true;
        m_s.notifier->post(
            tr("History not saved"),
            storage == HistoryService::Storage::waitingForKey
                ? tr("Your desktop keyring is locked or does not answer. New captures are kept "
                     "in memory and saved as soon as it is unlocked.")
                : tr("The history file cannot be written. New captures are kept in memory."));
    };
    if (!m_watchingHistory) {
        m_watchingHistory = true;
        connect(&history, &HistoryService::storageChanged, this, report);
    }
    report(history.storage());
}

void AppDelegate::captureScreenshot(std::optional<QRect> region)
{
    warmUpRecognizer();
    if (m_additive) {
        // A clipboard read through a helper starts now, while the user picks.
        m_s.clipboard->prefetchText();
    }
    QPointer<AppDelegate> self(this);
    m_s.capture->captureAndRecognize(
        [self](Expected<QString, OCRError> outcome) {
            if (self) {
                self->m_workflow->handleCaptureOutcome(outcome);
            }
        },
        region);
}

void AppDelegate::scanBarcode(std::optional<QRect> region)
{
    QPointer<AppDelegate> self(this);
    m_s.capture->captureAndScan(
        [self](Expected<QString, OCRError> outcome) {
            if (self) {
                self->m_workflow->handleScanOutcome(outcome);
            }
        },
        region);
}

void AppDelegate::toggleAdditiveClipboard()
{
    m_additive = !m_additive;
    m_workflow->setAdditiveClipboard(m_additive);
    // Stored, so that the settings switch shows what captures do.
    m_s.preferences->setValue(PreferenceKeys::additiveClipboardEnabled, m_additive);
    rebuildMenu();
    if (!m_additive) {
        m_s.clipboard->clear();
    }
    m_s.notifier->post(m_additive ? tr("Additive Clipboard Enabled")
                                  : tr("Additive Clipboard Disabled"),
                       m_additive ? tr("New captures will be appended to clipboard")
                                  : tr("Clipboard cleared - new captures will replace content"));
}

void AppDelegate::toggleAIEnhanced()
{
    Preferences& prefs = *m_s.preferences;
    if (prefs.aiEnhancedOCREnabled()) {
        prefs.setValue(PreferenceKeys::aiEnhancedOCREnabled, false);
        rebuildMenu();
        return;
    }
    // The menu already ticked its item when it was chosen; until the key is
    // found the rebuilt menu shows the setting as it stands: off.
    rebuildMenu();
    const QLatin1StringView account = KeychainService::accountForProvider(prefs.aiProvider());
    if (account.isEmpty()) {
        configureAPIKey();
        return;
    }
    m_s.keychain->readKey(account, this, [this](const KeychainService::KeyLookup& lookup) {
        if (!lookup.found()) {
            configureAPIKey();
            return;
        }
        m_s.preferences->setValue(PreferenceKeys::aiEnhancedOCREnabled, true);
        rebuildMenu();
    });
}

void AppDelegate::selectProvider(const QString& identifier)
{
    m_s.preferences->setValue(PreferenceKeys::aiProvider, identifier);
    rebuildMenu();
}

void AppDelegate::selectOpenAIModel(const QString& identifier)
{
    m_s.preferences->setValue(PreferenceKeys::openaiModel, identifier);
    rebuildMenu();
}

void AppDelegate::selectGeminiModel(const QString& identifier)
{
    m_s.preferences->setValue(PreferenceKeys::geminiModel, identifier);
    rebuildMenu();
}

void AppDelegate::configureAPIKey()
{
    // Windows of one kind replace each other; each reads its state afresh.
    delete m_apiKeyDialog.data();
    m_apiKeyDialog = new APIKeyDialog(
        *m_s.keychain, [alerts = m_s.alerts](const QString& title, const QString& message) {
            alerts->showInformation(title, message);
        });
    m_apiKeyDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_apiKeyDialog->present();
}

void AppDelegate::openHistory()
{
    delete m_historyWindow.data();
    HistoryService& history = m_s.history();
    watchHistoryStorage(history);
    HistoryViewHooks hooks;
    hooks.confirm = [alerts = m_s.alerts](const QString& title, const QString& message,
                                          std::function<void(bool)> done) {
        alerts->ask(title, message, {tr("Clear"), tr("Cancel")}, 0, AlertPresenter::Style::warning,
                    [done = std::move(done)](int chosen) { done(chosen == 0); });
    };
    m_historyWindow = new HistoryWindow(history, *m_s.clipboard, std::move(hooks));
    if (m_s.sync) {
        startSync();
        QWidget* footer = m_historyWindow->view()->footer();
        footer->layout()->addWidget(new SyncFooter(*m_s.sync, footer));
    }
    presentCentred(m_historyWindow);
}

void AppDelegate::openSettings()
{
    delete m_settingsWindow.data();
    SettingsServices services;
    services.preferences = m_s.preferences;
    services.keychain = m_s.keychain;
    services.alerts = m_s.alerts;
    services.loginItem = m_s.loginItem;
    services.history = m_s.history;
    services.sync = m_s.sync;
    if (m_s.updates) {
        services.checkForUpdates = [this] { checkForUpdates(); };
    }
    m_settingsWindow = new SettingsWindow(std::move(services));
    presentCentred(m_settingsWindow);
}

SettingsWindow* AppDelegate::settingsWindow() const
{
    return m_settingsWindow;
}

void AppDelegate::checkForUpdates()
{
    if (m_s.updates) {
        m_s.updates->checkForUpdates();
    }
}

void AppDelegate::quit()
{
    emit quitRequested();
}

void AppDelegate::handleInstanceCommand(const QString& command)
{
    if (!m_started) {
        // Still on the first-run window: bring it forward instead.
        if (m_onboarding) {
            m_onboarding->showWindow();
        }
        return;
    }
    // "capture" or "scan", optionally with a region; the channel has checked
    // the form already.
    const QStringList words = command.split(u' ', Qt::SkipEmptyParts);
    std::optional<QRect> region;
    if (words.size() == 2) {
        const auto parsed = CaptureRegion::parse(words.at(1));
        if (!parsed) {
            return;
        }
        region = *parsed;
    }
    const QString name = words.value(0);
    if (name == QLatin1String("capture")) {
        captureScreenshot(region);
    } else if (name == QLatin1String("scan")) {
        scanBarcode(region);
    } else if (name == QLatin1String("settings") || name == QLatin1String("activate")) {
        // A second start (from the desktop's menu) opens the settings: the
        // way back to a hidden tray icon.
        openSettings();
    }
}

void AppDelegate::startSync()
{
    if (m_s.sync && !std::exchange(m_syncStarted, true)) {
        m_s.sync->start();
    }
}

void AppDelegate::handleInstanceRequest(const QString& command, const QByteArray& payload,
                                        const InstanceReply& reply)
{
    if (command == QLatin1String("sync")) {
        if (!m_s.sync) {
            reply.fail(tr("sync is not available"));
            return;
        }
        if (!m_s.sync->iCloudSyncEnabled()) {
            reply.fail(tr("sync is turned off; turn on \"Enable Sync\" in the history window"));
            return;
        }
        startSync();
        m_s.sync->performSync([reply](const CloudSyncService::RunResult& result) {
            if (result) {
                reply.ok(QStringLiteral("%1 %2").arg(result->uploaded).arg(result->downloaded));
            } else {
                reply.fail(result.error());
            }
        });
        return;
    }
    if (command == QLatin1String("import")) {
        const auto records = HistoryItem::decodeListJson(payload);
        if (!records) {
            reply.fail(tr("the records cannot be read"));
            return;
        }
        HistoryService& history = m_s.history();
        watchHistoryStorage(history);
        // Merged into the stored history, never into a list still loading.
        history.whenLoaded(this, std::chrono::seconds(30),
                           [reply, records = *records, &history](bool loaded) {
                               if (!loaded) {
                                   reply.fail(tr("the history cannot be read now (the keyring "
                                                 "is locked or does not answer)"));
                                   return;
                               }
                               const auto outcome = HistoryImport::merge(history, records);
                               reply.ok(QStringLiteral("%1 %2 %3")
                                            .arg(outcome.added)
                                            .arg(outcome.alreadyPresent)
                                            .arg(outcome.dropped));
                           });
        return;
    }
    reply.fail(tr("unknown request"));
}

void AppDelegate::onHubNotification(const QString& name, const QVariant& object)
{
    if (name == NotificationNames::showHotkeyRecorder) {
        configureHotkey();
        return;
    }
    if (object.typeId() != QMetaType::Bool) {
        return;
    }
    if (name == NotificationNames::updateMenuBarVisibility) {
        if (object.toBool()) {
            createStatusItem();
            m_statusItem->setContextMenu(m_menu.menu());
        } else if (m_statusItem) {
            m_statusItem.reset();
            emit statusItemChanged(nullptr);
        }
    } else if (name == NotificationNames::updateAdditiveClipboard) {
        m_additive = object.toBool();
        m_workflow->setAdditiveClipboard(m_additive);
        rebuildMenu();
    }
}

HotkeyRecorderWindow* AppDelegate::hotkeyWindow() const
{
    return m_hotkeyWindow;
}

void AppDelegate::watchHotkeys()
{
    if (!m_s.hotkeys) {
        return;
    }
    connect(m_s.hotkeys, &HotkeyManager::applicationActivated, this, &AppDelegate::appDidActivate);
    connect(m_s.hotkeys, &HotkeyManager::registrationLost, this, [this](HotkeyError error) {
        setHotkeyRegistered(false);
        tellHotkeyRefused(error);
    });
}

void AppDelegate::registerHotkey()
{
    if (!m_s.hotkeys) {
        return;
    }
    QPointer<AppDelegate> self(this);
    const auto registered = m_s.hotkeys->registerSequence(m_keySequence, [self] {
        if (self) {
            self->captureScreenshot();
        }
    });
    setHotkeyRegistered(registered.hasValue());
    if (registered) {
        m_toldHotkeyRefused.reset();
    } else {
        // Tried again whenever another application becomes active.
        tellHotkeyRefused(registered.error());
    }
}

void AppDelegate::appDidActivate()
{
    if (!m_hotkeyRegistered) {
        registerHotkey();
    }
}

void AppDelegate::setHotkeyRegistered(bool registered)
{
    if (registered != m_hotkeyRegistered) {
        m_hotkeyRegistered = registered;
        rebuildMenu();
    }
}

void AppDelegate::tellHotkeyRefused(HotkeyError error)
{
    if (m_toldHotkeyRefused == m_keySequence) {
        return;
    }
    const QString keys = m_keySequence.displayString();
    QString message;
    switch (error) {
    case HotkeyError::emptySequence:
        return;
    case HotkeyError::taken:
        message = tr("%1 is taken by another program. Choose another sequence in Settings.");
        break;
    case HotkeyError::modifierAlone:
        message = tr("%1 cannot be detected: a modifier key on its own can only end a sequence. "
                     "Choose another sequence in Settings.");
        break;
    case HotkeyError::unsupported:
        if (const auto setup =
                m_s.shortcutSetup ? m_s.shortcutSetup(m_keySequence.presses.value(0)) : nullptr) {
            // Said only while the desktop shortcut is not in place.
            m_toldHotkeyRefused = m_keySequence;
            QPointer<AppDelegate> self(this);
            setup->checkInstalled([self, setup](bool installed) {
                if (self && !installed) {
                    self->m_s.notifier->post(
                        tr("Key sequence not available"),
                        tr("This desktop lets only its own shortcuts capture from anywhere. Bind "
                           "\"%1\" to a key in its keyboard settings.")
                            .arg(setup->command()));
                }
            });
            return;
        }
        message = tr("%1 cannot be watched on this desktop. Bind \"quillsnap-cli capture\" to a "
                     "shortcut in your desktop's keyboard settings instead.");
        break;
    }
    m_toldHotkeyRefused = m_keySequence;
    m_s.notifier->post(tr("Key sequence not available"), message.arg(keys));
}

void AppDelegate::configureHotkey()
{
    delete m_hotkeyWindow.data();
    QPointer<AppDelegate> self(this);
    m_hotkeyWindow = new HotkeyRecorderWindow(m_s.multiChordSequences ? 5 : 1, 2000,
                                              [self](const KeySequence& sequence) {
                                                  if (self) {
                                                      self->updateHotkey(sequence);
                                                  }
                                              });
    m_hotkeyWindow->setAttribute(Qt::WA_DeleteOnClose);
    if (m_s.hotkeys) {
        // Typing the current sequence into the recorder must not capture.
        m_s.hotkeys->setSuspended(true);
        // Only the current recorder can go away: a new one deletes the old first.
        connect(m_hotkeyWindow.data(), &QObject::destroyed, this,
                [this] { m_s.hotkeys->setSuspended(false); });
    }
    m_hotkeyWindow->present();
}

void AppDelegate::updateHotkey(const KeySequence& sequence)
{
    m_keySequence = sequence;
    if (const auto json = sequence.toJSONString()) {
        m_s.preferences->setValue(PreferenceKeys::hotkeySequence, *json);
    }
    registerHotkey();
    rebuildMenu();
}
