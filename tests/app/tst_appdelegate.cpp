#include "app/AppDelegate.h"

#include "common/Clock.h"
#include "common/NotificationHub.h"
#include "feedback/AlertPresenter.h"
#include "feedback/HUDManager.h"
#include "feedback/Notifier.h"
#include "history/EncryptionService.h"
#include "history/FileSecretStore.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/OnboardingView.h"
#include "views/OnboardingWindowController.h"

#include "MemoryClipboard.h"
#include "MemorySecretStore.h"
#include "ScriptedCaptureService.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Message = QPair<QString, QString>;

class RecordingNotifier : public Notifier
{
public:
    QList<Message> posted;
    void post(const QString& title, const QString& body) override { posted.append({title, body}); }
};

QAction* findAction(const QMenu* menu, const QString& text)
{
    if (!menu) {
        return nullptr;
    }
    for (QAction* a : menu->actions()) {
        if (a->text() == text) {
            return a;
        }
    }
    return nullptr;
}

QMenu* findSubmenu(const QMenu* menu, const QString& text)
{
    QAction* a = findAction(menu, text);
    return a ? a->menu() : nullptr;
}

QPushButton* buttonWithText(const QWidget* root, const QString& text)
{
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// One user's machine: preferences and history in a private directory, API
// keys in a private secrets file, and test doubles for everything the
// delegate talks to. The preferences are reopened from disk when the
// delegate is made, as at a real start.
struct Rig
{
    QTemporaryDir dir;
    std::unique_ptr<Preferences> prefs = openPreferences();
    MemorySecretStore historyKeyring;
    EncryptionService encryption{historyKeyring};
    std::unique_ptr<HistoryService> history;
    FileSecretStore secrets{dir.filePath(u"secrets/secrets.json"_s)};
    KeychainService keychain{secrets};
    MemoryClipboard clipboard;
    ScriptedCaptureService capture;
    RecordingNotifier notifier;
    AlertPresenter alerts;
    std::unique_ptr<HUDManager> hud;
    int historyOpened = 0;
    int apiKeysOpened = 0;
    bool trayAvailable = true;
    std::unique_ptr<AppDelegate> delegate;

    std::unique_ptr<Preferences> openPreferences()
    {
        return std::make_unique<Preferences>(dir.filePath(u"quillsnap.conf"_s),
                                             dir.filePath(u"data"_s));
    }

    AppDelegate& make()
    {
        prefs->sync();
        prefs = openPreferences();
        AppDelegate::Services s;
        s.preferences = prefs.get();
        s.history = [this]() -> HistoryService& {
            if (!history) {
                history =
                    std::make_unique<HistoryService>(prefs->dataDir(), encryption, Clock::system());
            }
            return *history;
        };
        s.keychain = &keychain;
        s.clipboard = &clipboard;
        s.capture = &capture;
        s.notifier = &notifier;
        s.alerts = &alerts;
        s.hud = hud.get();
        s.openHistory = [this] { ++historyOpened; };
        s.openAPIKeys = [this] { ++apiKeysOpened; };
        s.trayAvailable = [this] { return trayAvailable; };
        delegate = std::make_unique<AppDelegate>(s);
        return *delegate;
    }

    // A delegate past the first run, started.
    AppDelegate& started()
    {
        prefs->setValue(PreferenceKeys::hasCompletedOnboarding, true);
        AppDelegate& d = make();
        d.start();
        return d;
    }

    QMenu* menu() const { return delegate->menu(); }
    QAction* item(const QString& text) const { return findAction(menu(), text); }
    QStringList historyTexts() const
    {
        QStringList out;
        if (history) {
            for (const HistoryItem& i : history->items()) {
                out.append(i.text);
            }
        }
        return out;
    }
    // Chooses an item of the "AI Provider" submenu, or of a model list in it.
    bool choose(const QString& text, const QString& modelMenu = {})
    {
        QMenu* providers = findSubmenu(menu(), u"AI Provider"_s);
        QMenu* in = modelMenu.isEmpty() ? providers : findSubmenu(providers, modelMenu);
        QAction* a = findAction(in, text);
        if (!a) {
            return false;
        }
        a->trigger();
        return true;
    }
};

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT
private slots:
    void onboardingClosedUnfinishedQuits();
    void onboardingCompletedStartsWithoutRestart();
    void completedOnboardingStartsAtOnce();
    void keySequenceInMenuTitle_data();
    void keySequenceInMenuTitle();
    void additiveClipboardToggle();
    void aiEnhancedNeedsKey_data();
    void aiEnhancedNeedsKey();
    void aiEnhancedOffNeedsNoKey();
    void providerAndModelChoices();
    void menuCommandsReachHooks();
    void hubAdditiveClipboard();
    void hubMenuBarVisibility();
    void missingTrayIsToldOnce();
    void hubIgnoresNonBoolPayloads_data();
    void hubIgnoresNonBoolPayloads();
    void captureCommandWarmsUpOnce();
    void failuresReachAlertsAndLoadingToast();
    void overlappingCapturesBothLand();
    void outcomeAfterDestructionIsDropped();

private:
    TestEnvironment m_env;
};

void TestAppDelegate::onboardingClosedUnfinishedQuits()
{
    Rig rig;
    AppDelegate& d = rig.make();
    QSignalSpy started(&d, &AppDelegate::started);
    QSignalSpy quit(&d, &AppDelegate::quitRequested);
    d.start();

    QVERIFY(d.onboarding());
    QVERIFY(d.onboarding()->window()->isVisible());
    QVERIFY(!d.statusItem());
    QVERIFY(!d.isRunningNormally());
    // Commands from a second start do not run before the first-run window is done.
    d.handleInstanceCommand(u"capture"_s);
    QVERIFY(rig.capture.requests.isEmpty());

    QVERIFY(d.onboarding()->window()->close());
    QTRY_COMPARE(quit.count(), 1);
    QCOMPARE(started.count(), 0);
    QVERIFY(!d.statusItem());
    QVERIFY(!rig.prefs->hasCompletedOnboarding());
}

void TestAppDelegate::onboardingCompletedStartsWithoutRestart()
{
    Rig rig;
    AppDelegate& d = rig.make();
    QSignalSpy started(&d, &AppDelegate::started);
    QSignalSpy quit(&d, &AppDelegate::quitRequested);
    d.start();
    QVERIFY(d.onboarding());

    d.onboarding()->view()->setCurrentPage(2);
    QPushButton* getStarted = buttonWithText(d.onboarding()->window(), u"Get Started"_s);
    QVERIFY(getStarted);
    getStarted->click();

    QTRY_COMPARE(started.count(), 1);
    QCOMPARE(quit.count(), 0);
    QVERIFY(d.isRunningNormally());
    QVERIFY(d.statusItem());
    QVERIFY(d.menu());
    QCOMPARE(d.statusItem()->contextMenu(), d.menu());
    QCOMPARE(d.menu()->actions().first()->text(), u"Capture Screenshot (⇧⌘8)"_s);
    QTRY_VERIFY(!d.onboarding());
    QVERIFY(rig.prefs->hasCompletedOnboarding());
}

void TestAppDelegate::completedOnboardingStartsAtOnce()
{
    Rig rig;
    rig.prefs->setValue(PreferenceKeys::hasCompletedOnboarding, true);
    AppDelegate& d = rig.make();
    QSignalSpy started(&d, &AppDelegate::started);
    d.start();
    QCOMPARE(started.count(), 1);
    QVERIFY(!d.onboarding());
    QVERIFY(d.statusItem());
    QCOMPARE(d.statusItem()->contextMenu(), d.menu());
}

void TestAppDelegate::keySequenceInMenuTitle_data()
{
    QTest::addColumn<QVariant>("stored");    // "hotkeySequence", invalid: absent
    QTest::addColumn<QVariant>("keyCode");   // "hotkeyKeyCode"
    QTest::addColumn<QVariant>("modifiers"); // "hotkeyModifiers"
    QTest::addColumn<QString>("title");
    QTest::addColumn<QVariant>("storedAfter"); // invalid: absent

    KeySequence twoPresses;
    twoPresses.presses = {KeyPress{8, 256}, KeyPress{9, 256}};
    const QString twoJson = *twoPresses.toJSONString();
    KeySequence legacy;
    legacy.presses = {KeyPress{8, 256}};
    const QString legacyJson = *legacy.toJSONString();
    const QVariant none;

    QTest::newRow("nothing stored")
        << none << none << none << u"Capture Screenshot (⇧⌘8)"_s << none;
    QTest::newRow("stored sequence") << QVariant(twoJson) << none << none
                                     << u"Capture Screenshot (⌘C ⌘V)"_s << QVariant(twoJson);
    QTest::newRow("stored sequence wins over legacy keys")
        << QVariant(twoJson) << QVariant(1) << QVariant(256) << u"Capture Screenshot (⌘C ⌘V)"_s
        << QVariant(twoJson);
    QTest::newRow("legacy keys migrate") << none << QVariant(8) << QVariant(256)
                                         << u"Capture Screenshot (⌘C)"_s << QVariant(legacyJson);
    QTest::newRow("broken sequence falls back to legacy keys")
        << QVariant(u"{not json"_s) << QVariant(8) << QVariant(256) << u"Capture Screenshot (⌘C)"_s
        << QVariant(legacyJson);
    QTest::newRow("broken sequence, no legacy keys")
        << QVariant(u"{not json"_s) << none << none << u"Capture Screenshot (⇧⌘8)"_s
        << QVariant(u"{not json"_s);
    QTest::newRow("legacy key code alone")
        << none << QVariant(8) << none << u"Capture Screenshot (⇧⌘8)"_s << none;
    QTest::newRow("legacy key code out of range")
        << none << QVariant(-1) << QVariant(256) << u"Capture Screenshot (⇧⌘8)"_s << none;
}

void TestAppDelegate::keySequenceInMenuTitle()
{
    QFETCH(QVariant, stored);
    QFETCH(QVariant, keyCode);
    QFETCH(QVariant, modifiers);
    QFETCH(QString, title);
    QFETCH(QVariant, storedAfter);

    Rig rig;
    const auto seed = [&](QLatin1StringView key, const QVariant& value) {
        if (value.isValid()) {
            rig.prefs->setValue(key, value);
        }
    };
    seed(PreferenceKeys::hotkeySequence, stored);
    seed(PreferenceKeys::hotkeyKeyCode, keyCode);
    seed(PreferenceKeys::hotkeyModifiers, modifiers);
    rig.started();

    QCOMPARE(rig.menu()->actions().first()->text(), title);
    QVERIFY(rig.menu()->actions().first()->shortcut().isEmpty());
    QCOMPARE(rig.prefs->value(PreferenceKeys::hotkeySequence), storedAfter);
    if (storedAfter.isValid() && storedAfter != stored) {
        // What was written reads back as the sequence in force.
        QCOMPARE(KeySequence::fromJSONString(storedAfter.toString()),
                 std::optional(rig.delegate->currentKeySequence()));
    }
}

void TestAppDelegate::additiveClipboardToggle()
{
    Rig rig;
    rig.started();
    rig.clipboard.current = u"earlier"_s;
    QVERIFY(!rig.item(u"Additive Clipboard"_s)->isChecked());

    rig.item(u"Additive Clipboard"_s)->trigger();
    QVERIFY(rig.delegate->additiveClipboardEnabled());
    QVERIFY(rig.item(u"Additive Clipboard"_s)->isChecked());
    QCOMPARE(rig.clipboard.current, std::optional(u"earlier"_s));
    QCOMPARE(rig.clipboard.clears, 0);

    rig.item(u"Additive Clipboard"_s)->trigger();
    QVERIFY(!rig.delegate->additiveClipboardEnabled());
    QVERIFY(!rig.item(u"Additive Clipboard"_s)->isChecked());
    QCOMPARE(rig.clipboard.clears, 1);
    QVERIFY(!rig.clipboard.current);

    const QList<Message> expected{
        {u"Additive Clipboard Enabled"_s, u"New captures will be appended to clipboard"_s},
        {u"Additive Clipboard Disabled"_s,
         u"Clipboard cleared - new captures will replace content"_s},
    };
    QCOMPARE(rig.notifier.posted, expected);
    // The flag lives for this run only.
    QVERIFY(!rig.prefs->contains(PreferenceKeys::additiveClipboardEnabled));
}

void TestAppDelegate::aiEnhancedNeedsKey_data()
{
    QTest::addColumn<QString>("provider"); // empty: absent
    QTest::addColumn<QString>("account");  // the stored key; empty: none
    QTest::addColumn<bool>("switchedOn");

    const QString openai = KeychainService::openAIKeyAccount;
    const QString gemini = KeychainService::geminiKeyAccount;
    const QString ocrspace = KeychainService::ocrSpaceKeyAccount;
    QTest::newRow("gemini without key") << u"gemini"_s << QString() << false;
    QTest::newRow("gemini with another provider's key") << u"gemini"_s << openai << false;
    QTest::newRow("gemini with key") << u"gemini"_s << gemini << true;
    QTest::newRow("default provider is openai") << QString() << openai << true;
    QTest::newRow("default provider without key") << QString() << gemini << false;
    QTest::newRow("ocrspace with key") << u"ocrspace"_s << ocrspace << true;
    QTest::newRow("unknown provider") << u"claude"_s << openai << false;
}

void TestAppDelegate::aiEnhancedNeedsKey()
{
    QFETCH(QString, provider);
    QFETCH(QString, account);
    QFETCH(bool, switchedOn);

    Rig rig;
    if (!provider.isEmpty()) {
        rig.prefs->setValue(PreferenceKeys::aiProvider, provider);
    }
    if (!account.isEmpty()) {
        QVERIFY(rig.keychain.saveKey(u"sk-test"_s, account));
    }
    rig.started();
    rig.item(u"AI-Enhanced OCR"_s)->trigger();

    QCOMPARE(rig.prefs->aiEnhancedOCREnabled(), switchedOn);
    QCOMPARE(rig.apiKeysOpened, switchedOn ? 0 : 1);
    // The check mark shows the setting, also when the switch was refused.
    QCOMPARE(rig.item(u"AI-Enhanced OCR"_s)->isChecked(), switchedOn);
}

void TestAppDelegate::aiEnhancedOffNeedsNoKey()
{
    Rig rig;
    rig.prefs->setValue(PreferenceKeys::aiProvider, u"gemini"_s);
    rig.prefs->setValue(PreferenceKeys::aiEnhancedOCREnabled, true);
    rig.started();
    QVERIFY(rig.item(u"AI-Enhanced OCR"_s)->isChecked());

    rig.item(u"AI-Enhanced OCR"_s)->trigger();
    QVERIFY(!rig.prefs->aiEnhancedOCREnabled());
    QVERIFY(!rig.item(u"AI-Enhanced OCR"_s)->isChecked());
    QCOMPARE(rig.apiKeysOpened, 0);
}

void TestAppDelegate::providerAndModelChoices()
{
    Rig rig;
    rig.started();
    QVERIFY(findSubmenu(findSubmenu(rig.menu(), u"AI Provider"_s), u"OpenAI Model"_s));

    QVERIFY(rig.choose(u"GPT-4o Mini (Faster)"_s, u"OpenAI Model"_s));
    QCOMPARE(rig.prefs->openaiModel(), u"gpt-4o-mini"_s);
    QMenu* openaiModels = findSubmenu(findSubmenu(rig.menu(), u"AI Provider"_s), u"OpenAI Model"_s);
    QVERIFY(findAction(openaiModels, u"GPT-4o Mini (Faster)"_s)->isChecked());
    QVERIFY(!findAction(openaiModels, u"GPT-4o (Recommended)"_s)->isChecked());

    QVERIFY(rig.choose(u"Google Gemini"_s));
    QCOMPARE(rig.prefs->aiProvider(), u"gemini"_s);
    QMenu* providers = findSubmenu(rig.menu(), u"AI Provider"_s);
    QVERIFY(findAction(providers, u"Google Gemini"_s)->isChecked());
    QVERIFY(!findAction(providers, u"OpenAI"_s)->isChecked());
    QVERIFY(!findSubmenu(providers, u"OpenAI Model"_s));
    QVERIFY(findSubmenu(providers, u"Gemini Model"_s));

    QVERIFY(rig.choose(u"Gemini 2.0 Flash Exp"_s, u"Gemini Model"_s));
    QCOMPARE(rig.prefs->value(PreferenceKeys::geminiModel).toString(), u"gemini-2.0-flash-exp"_s);
    QVERIFY(findAction(findSubmenu(findSubmenu(rig.menu(), u"AI Provider"_s), u"Gemini Model"_s),
                       u"Gemini 2.0 Flash Exp"_s)
                ->isChecked());

    QVERIFY(rig.choose(u"OCR.space"_s));
    QCOMPARE(rig.prefs->aiProvider(), u"ocrspace"_s);
    providers = findSubmenu(rig.menu(), u"AI Provider"_s);
    QVERIFY(!findSubmenu(providers, u"Gemini Model"_s));
    QVERIFY(findAction(providers, u"OCR.space"_s)->isChecked());
    // The tray shows the rebuilt menu.
    QCOMPARE(rig.delegate->statusItem()->contextMenu(), rig.menu());
}

void TestAppDelegate::menuCommandsReachHooks()
{
    Rig rig;
    AppDelegate& d = rig.started();
    QSignalSpy quit(&d, &AppDelegate::quitRequested);
    rig.item(u"History..."_s)->trigger();
    rig.item(u"Configure API Keys..."_s)->trigger();
    rig.item(u"Scan QR/Barcode"_s)->trigger();
    rig.item(u"Quit"_s)->trigger();
    QCOMPARE(rig.historyOpened, 1);
    QCOMPARE(rig.apiKeysOpened, 1);
    QCOMPARE(rig.capture.count(ScriptedCaptureService::Kind::scan), 1);
    QCOMPARE(quit.count(), 1);

    QVERIFY(rig.capture.succeed(0, u"https://example.org/a-long-enough-address"_s));
    QCOMPARE(rig.notifier.posted,
             (QList<Message>{
                 {u"QR/Barcode Scanned"_s, u"https://example.org/a-long-enough-address"_s}}));
    QCOMPARE(rig.capture.warmUps, 0);
}

void TestAppDelegate::hubAdditiveClipboard()
{
    Rig rig;
    rig.started();
    rig.clipboard.current = u"earlier"_s;
    NotificationHub::shared().post(NotificationNames::updateAdditiveClipboard, true);
    QVERIFY(rig.delegate->additiveClipboardEnabled());
    QVERIFY(rig.item(u"Additive Clipboard"_s)->isChecked());

    NotificationHub::shared().post(NotificationNames::updateAdditiveClipboard, false);
    QVERIFY(!rig.delegate->additiveClipboardEnabled());
    QVERIFY(!rig.item(u"Additive Clipboard"_s)->isChecked());
    QVERIFY(rig.notifier.posted.isEmpty());
    QCOMPARE(rig.clipboard.clears, 0);
    QCOMPARE(rig.clipboard.current, std::optional(u"earlier"_s));
}

void TestAppDelegate::hubMenuBarVisibility()
{
    Rig rig;
    rig.started();
    QMenu* menu = rig.menu();
    QVERIFY(rig.delegate->statusItem());

    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, false);
    QVERIFY(!rig.delegate->statusItem());
    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, false);
    QVERIFY(!rig.delegate->statusItem());

    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, true);
    QVERIFY(rig.delegate->statusItem());
    QCOMPARE(rig.delegate->statusItem()->contextMenu(), menu);
    QCOMPARE(rig.menu(), menu);

    // A menu rebuilt while the icon was away is the one it comes back with.
    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, false);
    rig.delegate->toggleAdditiveClipboard();
    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, true);
    QCOMPARE(rig.delegate->statusItem()->contextMenu(), rig.menu());
    QVERIFY(rig.item(u"Additive Clipboard"_s)->isChecked());
}

void TestAppDelegate::missingTrayIsToldOnce()
{
    Rig rig;
    rig.trayAvailable = false;
    rig.started();
    QCOMPARE(rig.notifier.posted.size(), 1);
    QCOMPARE(rig.notifier.posted.at(0).first, u"quillsnap is running"_s);
    QVERIFY(rig.notifier.posted.at(0).second.contains(u"quillsnap-cli capture"_s));
    // Bringing the icon back on a desktop still without a tray says nothing new.
    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, false);
    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, true);
    QCOMPARE(rig.notifier.posted.size(), 1);
}

void TestAppDelegate::hubIgnoresNonBoolPayloads_data()
{
    QTest::addColumn<QVariant>("payload");
    QTest::newRow("none") << QVariant();
    QTest::newRow("string") << QVariant(u"false"_s);
    QTest::newRow("integer") << QVariant(0);
}

void TestAppDelegate::hubIgnoresNonBoolPayloads()
{
    QFETCH(QVariant, payload);
    Rig rig;
    rig.started();
    QMenu* menu = rig.menu();
    // The flag starts off, so a payload read as true would show.
    NotificationHub::shared().post(NotificationNames::updateAdditiveClipboard, QVariant(u"true"_s));
    NotificationHub::shared().post(NotificationNames::updateAdditiveClipboard, QVariant(1));
    NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, payload);
    QVERIFY(!rig.delegate->additiveClipboardEnabled());
    QVERIFY(rig.delegate->statusItem());
    QCOMPARE(rig.menu(), menu);
}

void TestAppDelegate::captureCommandWarmsUpOnce()
{
    Rig rig;
    rig.started();
    rig.delegate->handleInstanceCommand(u"capture"_s);
    QCOMPARE(rig.capture.count(ScriptedCaptureService::Kind::recognize), 1);
    QCOMPARE(rig.capture.warmUps, 1);
    rig.item(u"Capture Screenshot (⇧⌘8)"_s)->trigger();
    QCOMPARE(rig.capture.count(ScriptedCaptureService::Kind::recognize), 2);
    QCOMPARE(rig.capture.warmUps, 1);
    rig.delegate->handleInstanceCommand(u"scan"_s);
    QCOMPARE(rig.capture.count(ScriptedCaptureService::Kind::scan), 1);
    rig.delegate->handleInstanceCommand(u"bogus"_s);
    QCOMPARE(rig.capture.requests.size(), 3);
}

void TestAppDelegate::failuresReachAlertsAndLoadingToast()
{
    Rig rig;
    rig.hud = std::make_unique<HUDManager>();
    rig.hud->setAnimationDuration(0);
    rig.started();
    rig.alerts.setNextAnswer(0);
    rig.alerts.setNextAnswer(0);

    rig.hud->showLoading();
    QTRY_COMPARE(rig.hud->state(), HUDManager::State::loadingShown);
    rig.delegate->captureScreenshot();
    QVERIFY(rig.capture.fail(0, OCRError::noTextDetected));
    QTRY_COMPARE(rig.alerts.log().size(), 1);
    QCOMPARE(rig.alerts.log().first().title, u"No Text Found"_s);
    QCOMPARE(rig.alerts.log().first().buttons, QStringList{u"OK"_s});
    QTRY_VERIFY(rig.hud->state() != HUDManager::State::loadingShown);

    // A success shows the confirmation toast once the completion has returned.
    rig.delegate->captureScreenshot();
    QVERIFY(rig.capture.succeed(1, u"recognised"_s));
    QTRY_COMPARE(rig.hud->state(), HUDManager::State::confirmationShown);
    QCOMPARE(rig.historyTexts(), QStringList{u"recognised"_s});

    rig.delegate->scanBarcode();
    QVERIFY(rig.capture.fail(2, OCRError::ocrFailed));
    QTRY_COMPARE(rig.alerts.log().size(), 2);
    QCOMPARE(rig.alerts.log().at(1).title, u"Scan Error"_s);
}

void TestAppDelegate::overlappingCapturesBothLand()
{
    Rig rig;
    rig.started();
    rig.delegate->captureScreenshot();
    rig.delegate->captureScreenshot();
    QCOMPARE(rig.capture.requests.size(), 2);

    QVERIFY(rig.capture.succeed(1, u"second"_s));
    QVERIFY(rig.capture.succeed(0, u"first"_s));
    QVERIFY(!rig.capture.succeed(0, u"again"_s));
    QCOMPARE(rig.historyTexts(), (QStringList{u"first"_s, u"second"_s}));
    QCOMPARE(rig.clipboard.current, std::optional(u"first"_s));

    // The same with additive mode: nothing of either capture is lost.
    rig.delegate->toggleAdditiveClipboard();
    rig.clipboard.current.reset();
    rig.delegate->captureScreenshot();
    rig.delegate->captureScreenshot();
    QVERIFY(rig.capture.succeed(3, u"d"_s));
    QVERIFY(rig.capture.succeed(2, u"c"_s));
    QCOMPARE(rig.clipboard.current, std::optional(u"d\n\nc"_s));
    QCOMPARE(rig.historyTexts(), (QStringList{u"c"_s, u"d"_s, u"first"_s, u"second"_s}));
}

void TestAppDelegate::outcomeAfterDestructionIsDropped()
{
    Rig rig;
    rig.hud = std::make_unique<HUDManager>();
    rig.started();
    rig.delegate->captureScreenshot();
    rig.delegate->scanBarcode();
    rig.delegate->captureScreenshot();
    // This one lands, but the delegate goes before its toast is shown.
    QVERIFY(rig.capture.succeed(2, u"landed"_s));
    rig.delegate.reset();

    QVERIFY(rig.capture.succeed(0, u"late"_s));
    QVERIFY(rig.capture.fail(1, OCRError::permissionDenied));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(rig.historyTexts(), QStringList{u"landed"_s});
    QCOMPARE(rig.clipboard.current, std::optional(u"landed"_s));
    QVERIFY(rig.notifier.posted.isEmpty());
    QVERIFY(rig.alerts.log().isEmpty());
    QCOMPARE(rig.hud->state(), HUDManager::State::idle);
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
