#include "app/AppDelegate.h"

#include "app/CaptureWorkflow.h"
#include "common/NotificationHub.h"
#include "feedback/AlertPresenter.h"
#include "feedback/AppIcon.h"
#include "feedback/Clipboard.h"
#include "feedback/HUDManager.h"
#include "feedback/Notifier.h"
#include "history/HistoryItem.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/OnboardingWindowController.h"

#include <QCursor>
#include <QWidget>

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), m_s(std::move(services))
{
    CaptureWorkflow::Hooks hooks;
    hooks.showAlert = [this](const QString& title, const QString& message) {
        m_s.alerts->showInformation(title, message);
    };
    hooks.postNotification = [this](const QString& title, const QString& body) {
        m_s.notifier->post(title, body);
    };
    hooks.hideLoadingToast = [this] {
        if (m_s.hud) {
            m_s.hud->hideLoading();
        }
    };
    hooks.showConfirmationToast = [this](double seconds) {
        if (m_s.hud) {
            m_s.hud->show(seconds);
        }
    };
    hooks.additiveClipboard = [this] { return m_additive; };
    hooks.deviceName = [] { return HistoryItem::defaultDeviceName(); };
    m_workflow = std::make_unique<CaptureWorkflow>(*m_s.clipboard, m_s.history, std::move(hooks));

    connect(&m_menu, &AppMenu::captureRequested, this, &AppDelegate::captureScreenshot);
    connect(&m_menu, &AppMenu::scanRequested, this, &AppDelegate::scanBarcode);
    connect(&m_menu, &AppMenu::additiveToggled, this, &AppDelegate::toggleAdditiveClipboard);
    connect(&m_menu, &AppMenu::historyRequested, this, &AppDelegate::openHistory);
    connect(&m_menu, &AppMenu::aiEnhancedToggled, this, &AppDelegate::toggleAIEnhanced);
    connect(&m_menu, &AppMenu::providerSelected, this, &AppDelegate::selectProvider);
    connect(&m_menu, &AppMenu::openAIModelSelected, this, &AppDelegate::selectOpenAIModel);
    connect(&m_menu, &AppMenu::geminiModelSelected, this, &AppDelegate::selectGeminiModel);
    connect(&m_menu, &AppMenu::apiKeysRequested, this, &AppDelegate::configureAPIKey);
    connect(&m_menu, &AppMenu::quitRequested, this, &AppDelegate::quit);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::start()
{
    if (!m_s.preferences->hasCompletedOnboarding()) {
        showOnboarding();
        return;
    }
    normalStart();
}

void AppDelegate::showOnboarding()
{
    OnboardingOptions options;
    loadHotkeySequence();
    options.keySequenceText = m_keySequence.displayString();
    options.probe = m_s.permissionProbe;
    options.openSettings = [this] {
        m_s.alerts->showInformation(
            QStringLiteral("Screen Recording"),
            QStringLiteral("On this desktop every application may read the screen, so there is "
                           "nothing to enable."));
    };
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
    createStatusItem();
    rebuildMenu();
    connect(&NotificationHub::shared(), &NotificationHub::posted, this,
            &AppDelegate::onHubNotification);
    emit started();
}

void AppDelegate::shutdown() {}

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

void AppDelegate::createStatusItem()
{
    if (m_statusItem) {
        return;
    }
    m_statusItem = std::make_unique<QSystemTrayIcon>(AppIcon::application());
    m_statusItem->setToolTip(QStringLiteral("Screen to Text"));
    m_statusItem->setContextMenu(m_menu.menu());
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A left click opens the same menu as a right click.
                if (reason == QSystemTrayIcon::Trigger && m_menu.menu()) {
                    m_menu.menu()->popup(QCursor::pos());
                }
            });
    m_statusItem->show();
    if (m_s.trayAvailable && !m_s.trayAvailable() && !m_toldNoTray) {
        // Some desktops have no tray (GNOME without an extension): say once
        // how to reach the commands, or the app would seem not to run.
        m_toldNoTray = true;
        m_s.notifier->post(
            QStringLiteral("quillsnap is running"),
            QStringLiteral("No system tray was found. Run \"quillsnap-cli capture\" "
                           "(for example from a keyboard shortcut) to capture text."));
    }
}

void AppDelegate::rebuildMenu()
{
    const Preferences& prefs = *m_s.preferences;
    AppMenuState state;
    state.keySequenceText = m_keySequence.menuDisplayString();
    state.additiveClipboard = m_additive;
    state.aiEnhanced = prefs.aiEnhancedOCREnabled();
    state.provider = prefs.aiProvider();
    state.openaiModel = prefs.openaiModel();
    state.geminiModel = prefs.geminiModelForMenu();
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

void AppDelegate::captureScreenshot()
{
    warmUpRecognizer();
    QPointer<AppDelegate> self(this);
    m_s.capture->captureAndRecognize([self](Expected<QString, OCRError> outcome) {
        if (self) {
            self->m_workflow->handleCaptureOutcome(outcome);
        }
    });
}

void AppDelegate::scanBarcode()
{
    QPointer<AppDelegate> self(this);
    m_s.capture->captureAndScan([self](Expected<QString, OCRError> outcome) {
        if (self) {
            self->m_workflow->handleScanOutcome(outcome);
        }
    });
}

void AppDelegate::toggleAdditiveClipboard()
{
    m_additive = !m_additive;
    rebuildMenu();
    if (!m_additive) {
        m_s.clipboard->clear();
    }
    m_s.notifier->post(
        QStringLiteral("Additive Clipboard ") +
            (m_additive ? QStringLiteral("Enabled") : QStringLiteral("Disabled")),
        m_additive ? QStringLiteral("New captures will be appended to clipboard")
                   : QStringLiteral("Clipboard cleared - new captures will replace content"));
}

void AppDelegate::toggleAIEnhanced()
{
    Preferences& prefs = *m_s.preferences;
    const bool enabled = prefs.aiEnhancedOCREnabled();
    if (!enabled) {
        const QString provider = prefs.aiProvider();
        QLatin1StringView account;
        if (provider == ProviderIds::openai) {
            account = KeychainService::openAIKeyAccount;
        } else if (provider == ProviderIds::gemini) {
            account = KeychainService::geminiKeyAccount;
        } else if (provider == ProviderIds::ocrspace) {
            account = KeychainService::ocrSpaceKeyAccount;
        }
        if (account.isEmpty() || !m_s.keychain->readKey(account)) {
            // The menu already ticked its item when it was chosen; the rebuilt
            // menu shows the setting as it stays: off.
            rebuildMenu();
            configureAPIKey();
            return;
        }
    }
    prefs.setValue(PreferenceKeys::aiEnhancedOCREnabled, !enabled);
    rebuildMenu();
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
    if (m_s.openAPIKeys) {
        m_s.openAPIKeys();
    }
}

void AppDelegate::openHistory()
{
    if (m_s.openHistory) {
        m_s.openHistory();
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
    if (command == QLatin1String("capture")) {
        captureScreenshot();
    } else if (command == QLatin1String("scan")) {
        scanBarcode();
    }
}

void AppDelegate::onHubNotification(const QString& name, const QVariant& object)
{
    if (name == NotificationNames::updateMenuBarVisibility) {
        if (object.typeId() != QMetaType::Bool) {
            return;
        }
        if (object.toBool()) {
            createStatusItem();
            m_statusItem->setContextMenu(m_menu.menu());
        } else {
            m_statusItem.reset();
        }
    } else if (name == NotificationNames::updateAdditiveClipboard) {
        if (object.typeId() != QMetaType::Bool) {
            return;
        }
        m_additive = object.toBool();
        rebuildMenu();
    }
}
