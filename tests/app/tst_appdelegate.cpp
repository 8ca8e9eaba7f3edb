#include "app/AppDelegate.h"

#include "common/NotificationHub.h"
#include "feedback/AlertPresenter.h"
#include "feedback/HUDManager.h"
#include "feedback/Notifier.h"
#include "history/KeychainService.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/HotkeyRecorderWindow.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/HistoryWindow.h"
#include "views/OnboardingView.h"
#include "views/OnboardingWindowController.h"
#include "views/SettingsWindow.h"

#include "CaseTable.h"
#include "HistoryRig.h"
#include "MemoryClipboard.h"
#include "ScriptedCaptureService.h"
#include "ScriptedHotkeyBackend.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

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
    for (QAction* a : menu ? menu->actions() : QList<QAction*>{}) {
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

// One user's machine: preferences, history and API keys in private files,
// and stand-ins for the screen and the desktop. The preferences are reopened
// from disk when the delegate is made, as at a real start.
struct Rig
{
    HistoryRig store;
    std::unique_ptr<Preferences> prefs = openPreferences();
    KeychainService keychain{store.secrets};
    MemoryClipboard clipboard;
    ScriptedCaptureService capture;
    RecordingNotifier notifier;
    AlertPresenter alerts;
    ScriptedHotkeyBackend keyboard;
    HotkeyManager hotkeys;
    bool trayAvailable = true;
    std::unique_ptr<AppDelegate> delegate;

    std::unique_ptr<Preferences> openPreferences()
    {
        return std::make_unique<Preferences>(store.dir.filePath(u"quillsnap.conf"_s));
    }

    AppDelegate& make(bool completedOnboarding = true)
    {
        prefs->setValue(PreferenceKeys::hasCompletedOnboarding, completedOnboarding);
        prefs->sync();
        prefs = openPreferences();
        AppDelegate::Services s;
        s.preferences = prefs.get();
        s.history = [this]() -> HistoryService& {
            if (!store.history) {
                store.start();
            }
            return *store.history;
        };
        s.keychain = &keychain;
        s.clipboard = &clipboard;
        s.capture = &capture;
        s.notifier = &notifier;
        s.alerts = &alerts;
        s.trayAvailable = [this] { return trayAvailable; };
        s.deviceName = u"test-host"_s;
        hotkeys.setBackend(&keyboard);
        s.hotkeys = &hotkeys;
        delegate = std::make_unique<AppDelegate>(s);
        delegate->start();
        return *delegate;
    }

    QMenu* menu() const { return delegate->menu(); }
    QAction* item(const QString& text) const { return findAction(menu(), text); }
    QStringList history() const
    {
        return store.history ? texts(store.history->items()) : QStringList{};
    }
    // Chooses an item of the "AI Provider" submenu, or of a model list in it.
    bool choose(const QString& text, const QString& modelMenu = {})
    {
        QMenu* providers = findSubmenu(menu(), u"AI Provider"_s);
        QAction* a =
            findAction(modelMenu.isEmpty() ? providers : findSubmenu(providers, modelMenu), text);
        return a ? (a->trigger(), true) : false;
    }
};

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT
private:
    TestEnvironment m_env;

private slots:
    void onboarding_data()
    {
        rows({u"closed unfinished: quits", u"finished: normal start without a restart"});
    }

    void onboarding()
    {
        const bool finish = fields()[0].startsWith(u"finished");
        Rig rig;
        AppDelegate& d = rig.make(false);
        QSignalSpy started(&d, &AppDelegate::started);
        QSignalSpy quit(&d, &AppDelegate::quitRequested);
        QVERIFY(d.onboarding() && d.onboarding()->window()->isVisible());
        QVERIFY(!d.statusItem());
        // Commands from a second start wait for the first-run window.
        d.handleInstanceCommand(u"capture"_s);
        QVERIFY(rig.capture.requests.isEmpty());

        if (finish) {
            // "Continue" through the pages, then "Get Started".
            for (int page = 0; page < 5 && d.onboarding() && !started.count(); ++page) {
                d.onboarding()->view()->primaryButton()->click();
                QTest::qWait(50);
            }
        } else {
            QVERIFY(d.onboarding()->window()->close());
        }
        QTRY_COMPARE(started.count() + quit.count(), 1);
        QCOMPARE(started.count(), finish ? 1 : 0);
        QCOMPARE(bool(d.statusItem()), finish);
        QCOMPARE(rig.prefs->hasCompletedOnboarding(), finish);
        if (finish) {
            QCOMPARE(d.statusItem()->contextMenu(), d.menu());
            QTRY_VERIFY(!d.onboarding());
        }
    }

    void keySequenceInMenuTitle_data()
    {
        // Columns: the stored sequence ("one", "two": of that many chords), the
        // legacy key code and modifiers (empty: absent), the keys of the menu
        // title, the sequence stored afterwards.
        rows({u"→→→Shift+Super+8→", u"two→1→256→Super+C Super+V→two", u"{bad→8→256→Super+C→one",
              u"{bad→→→Shift+Super+8→{bad", u"→-1→256→Shift+Super+8→"});
    }

    void keySequenceInMenuTitle()
    {
        const QStringList f = fields();
        const auto json = [](const QString& v) -> QVariant {
            const QList<KeyPress> two{{8, 256}, {9, 256}};
            return v.isEmpty()   ? QVariant()
                   : v == u"two" ? *KeySequence{two, 0.5}.toJSONString()
                   : v == u"one" ? *KeySequence{two.mid(0, 1), 0.5}.toJSONString()
                                 : QVariant(v);
        };
        Rig rig;
        if (!f[0].isEmpty()) {
            rig.prefs->setValue(PreferenceKeys::hotkeySequence, json(f[0]));
        }
        if (!f[1].isEmpty()) {
            rig.prefs->setValue(PreferenceKeys::hotkeyKeyCode, f[1].toInt());
            rig.prefs->setValue(PreferenceKeys::hotkeyModifiers, f[2].toInt());
        }
        rig.make();
        QCOMPARE(rig.menu()->actions().first()->text(), u"Capture Screenshot (%1)"_s.arg(f[3]));
        QCOMPARE(rig.prefs->value(PreferenceKeys::hotkeySequence), json(f[4]));
    }

    void additiveClipboardToggle_data() { rows({u"off at the last run", u"on at the last run"}); }

    void additiveClipboardToggle()
    {
        const bool stored = fields()[0].startsWith(u"on");
        Rig rig;
        rig.prefs->setValue(PreferenceKeys::additiveClipboardEnabled, stored);
        rig.make();
        const auto toggle = [&rig] {
            rig.item(u"Additive Clipboard"_s)->trigger();
            return rig.item(u"Additive Clipboard"_s)->isChecked();
        };
        // The flag starts as the settings switch shows it.
        QCOMPARE(rig.delegate->additiveClipboardEnabled(), stored);
        QCOMPARE(rig.item(u"Additive Clipboard"_s)->isChecked(), stored);
        if (stored) {
            QVERIFY(!toggle());
            rig.notifier.posted.clear();
        }
        rig.clipboard.current = u"earlier"_s;
        QVERIFY(toggle());
        QCOMPARE(rig.clipboard.current, std::optional(u"earlier"_s));
        QVERIFY(!toggle()); // switching off clears the clipboard
        QVERIFY(!rig.clipboard.current);
        QCOMPARE(rig.notifier.posted.size(), 2);
        QCOMPARE(rig.notifier.posted.at(1).first, u"Additive Clipboard Disabled"_s);
        // Stored, so that the settings switch agrees with the menu.
        QVERIFY(toggle() && rig.prefs->additiveClipboardEnabled());
    }

    // Columns: the provider chosen (empty: none), the provider whose key is
    // stored (empty: none), whether the switch goes on.
    void aiEnhancedNeedsKey_data()
    {
        rows({u"gemini→→off", u"gemini→openai→off", u"gemini→gemini→on", u"→openai→on",
              u"ocrspace→ocrspace→on", u"claude→openai→off"});
    }
    void aiEnhancedNeedsKey()
    {
        const QStringList f = fields();
        const QString& provider = f[0];
        const QString account = KeychainService::accountForProvider(f[1]);
        const bool switchedOn = f[2] == u"on";
        Rig rig;
        if (!provider.isEmpty()) {
            rig.prefs->setValue(PreferenceKeys::aiProvider, provider);
        }
        if (!f[1].isEmpty()) {
            QVERIFY(KeychainService::saveKeyNow(*rig.store.keyring, u"sk-test"_s, account));
        }
        rig.make();
        rig.item(u"AI-Enhanced OCR"_s)->trigger();
        QTRY_COMPARE(rig.prefs->aiEnhancedOCREnabled(), switchedOn);
        QTRY_COMPARE(bool(rig.delegate->apiKeyDialog()), !switchedOn);
        // The check mark shows the setting, also when the switch was refused.
        QCOMPARE(rig.item(u"AI-Enhanced OCR"_s)->isChecked(), switchedOn);
        // Switching off needs no key.
        rig.item(u"AI-Enhanced OCR"_s)->trigger();
        QTRY_VERIFY(!rig.prefs->aiEnhancedOCREnabled());
    }

    void providerAndModelChoices()
    {
        Rig rig;
        rig.make();
        QVERIFY(rig.choose(u"GPT-4o Mini (Faster)"_s, u"OpenAI Model"_s));
        QCOMPARE(rig.prefs->openaiModel(), u"gpt-4o-mini"_s);
        QVERIFY(rig.choose(u"Google Gemini"_s));
        QCOMPARE(rig.prefs->aiProvider(), u"gemini"_s);
        // The menu is rebuilt for the new provider, and the tray shows it.
        QVERIFY(rig.choose(u"Gemini 2.0 Flash Exp"_s, u"Gemini Model"_s));
        QCOMPARE(rig.prefs->geminiModelForClient(), u"gemini-2.0-flash-exp"_s);
        QCOMPARE(rig.delegate->statusItem()->contextMenu(), rig.menu());
    }

    void hubNotifications()
    {
        Rig rig;
        rig.make();
        NotificationHub& hub = NotificationHub::shared();
        rig.clipboard.current = u"earlier"_s;
        // Only a Bool payload counts.
        for (const QVariant& odd : {QVariant(), QVariant(u"true"_s), QVariant(1)}) {
            hub.post(NotificationNames::updateAdditiveClipboard, odd);
            hub.post(NotificationNames::updateMenuBarVisibility, odd.isValid() ? QVariant(0) : odd);
        }
        QVERIFY(!rig.delegate->additiveClipboardEnabled() && rig.delegate->statusItem());
        hub.post(NotificationNames::updateAdditiveClipboard, true);
        QVERIFY(rig.item(u"Additive Clipboard"_s)->isChecked());
        // No notification and no clearing from the settings window's switch.
        hub.post(NotificationNames::updateAdditiveClipboard, false);
        QVERIFY(rig.notifier.posted.isEmpty());
        QCOMPARE(rig.clipboard.current, std::optional(u"earlier"_s));

        hub.post(NotificationNames::updateMenuBarVisibility, false);
        QVERIFY(!rig.delegate->statusItem());
        // A menu rebuilt while the icon was away is the one it comes back with.
        rig.delegate->toggleAdditiveClipboard();
        hub.post(NotificationNames::updateMenuBarVisibility, true);
        QCOMPARE(rig.delegate->statusItem()->contextMenu(), rig.menu());
        QVERIFY(rig.item(u"Additive Clipboard"_s)->isChecked());
    }

    void missingTrayIsToldOnce()
    {
        Rig rig;
        rig.trayAvailable = false;
        rig.make();
        QCOMPARE(rig.notifier.posted.size(), 1);
        QVERIFY(rig.notifier.posted.at(0).second.contains(u"quillsnap-cli capture"_s));
        NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, false);
        NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, true);
        QCOMPARE(rig.notifier.posted.size(), 1);
    }

    void overlappingCapturesBothLand()
    {
        Rig rig;
        rig.make();
        rig.delegate->handleInstanceCommand(u"capture 5,-6,70,80"_s);
        rig.item(u"Capture Screenshot (Shift+Super+8)"_s)->trigger();
        rig.delegate->handleInstanceCommand(u"scan 1,2,3,4"_s);
        QCOMPARE(rig.capture.warmUps, 1);
        QCOMPARE(rig.capture.requests.at(0).region, std::optional(QRect(5, -6, 70, 80)));
        QCOMPARE(rig.capture.requests.at(1).region, std::nullopt);
        QCOMPARE(rig.capture.requests.at(2).kind, ScriptedCaptureService::Kind::scan);
        QCOMPARE(rig.capture.requests.at(2).region, std::optional(QRect(1, 2, 3, 4)));
        QVERIFY(rig.capture.succeed(1, u"second"_s));
        QVERIFY(rig.capture.succeed(0, u"first"_s));
        QVERIFY(!rig.capture.succeed(0, u"again"_s));
        QCOMPARE(rig.history(), (QStringList{u"first"_s, u"second"_s}));
        QCOMPARE(rig.clipboard.current, std::optional(u"first"_s));

        // The same in additive mode: nothing of either capture is lost.
        rig.delegate->toggleAdditiveClipboard();
        rig.clipboard.current.reset();
        rig.delegate->captureScreenshot();
        rig.delegate->captureScreenshot();
        QVERIFY(rig.capture.succeed(4, u"d"_s));
        QVERIFY(rig.capture.succeed(3, u"c"_s));
        QCOMPARE(rig.clipboard.current, std::optional(u"d\n\nc"_s));
        QCOMPARE(rig.history().size(), 4);
    }

    void outcomeAfterDestructionIsDropped()
    {
        Rig rig;
        HUDManager hud;
        rig.make();
        rig.delegate->captureScreenshot();
        rig.delegate->scanBarcode();
        rig.delegate.reset();
        QVERIFY(rig.capture.succeed(0, u"late"_s));
        QVERIFY(rig.capture.fail(1, OCRError::permissionDenied));
        QCoreApplication::processEvents();
        QVERIFY(rig.history().isEmpty());
        QVERIFY(!rig.clipboard.current);
        QVERIFY(rig.alerts.log().isEmpty() && rig.notifier.posted.isEmpty());
    }

    void unsavedHistoryIsToldOnce()
    {
        Rig rig;
        rig.make();
        rig.store.keyring->unavailable = true;
        rig.delegate->captureScreenshot();
        QVERIFY(rig.capture.succeed(0, u"kept"_s));
        rig.delegate->captureScreenshot();
        QVERIFY(rig.capture.succeed(1, u"also kept"_s));
        // The text is on the clipboard whatever the keyring does.
        QCOMPARE(rig.clipboard.current, std::optional(u"also kept"_s));
        QTRY_COMPARE(rig.notifier.posted.size(), 1);
        QCOMPARE(rig.notifier.posted.first().first, u"History not saved"_s);
        QTest::qWait(200);
        QCOMPARE(rig.notifier.posted.size(), 1);
        QCOMPARE(rig.history(), (QStringList{u"also kept"_s, u"kept"_s}));
    }

    void menuOpensWindows()
    {
        Rig rig;
        AppDelegate& d = rig.make();
        QSignalSpy quit(&d, &AppDelegate::quitRequested);
        rig.item(u"History..."_s)->trigger();
        rig.item(u"History..."_s)->trigger(); // replaces the first
        const auto windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(
                     windows.begin(), windows.end(),
                     [](QWidget* w) { return qobject_cast<HistoryWindow*>(w) && w->isVisible(); }),
                 1);
        rig.item(u"Configure API Keys..."_s)->trigger();
        QVERIFY(d.apiKeyDialog());
        // Settings from the menu, then from quillsnap-cli: one window at a time.
        rig.item(u"Settings..."_s)->trigger();
        QPointer<SettingsWindow> first = d.settingsWindow();
        QVERIFY(first && first->isVisible());
        d.handleInstanceCommand(u"settings"_s);
        QVERIFY(d.settingsWindow() && d.settingsWindow()->isVisible());
        QTRY_VERIFY(!first);
        rig.item(u"Quit"_s)->trigger();
        QCOMPARE(quit.count(), 1);
    }

    // Columns: the desktop's refusal ("-": none asked, as the stored
    // sequence cannot be watched), part of the message.
    void refusedHotkeyIsToldAndRetried_data()
    {
        rows({u"taken→Shift+Super+8 is taken by another program.",
              u"unsupported→Bind \"quillsnap-cli capture\"",
              u"-→Super+K → Super → Super+C cannot be detected"});
    }

    void refusedHotkeyIsToldAndRetried()
    {
        const QStringList f = fields();
        const int refusal = f[0] == u"-"       ? -1
                            : f[0] == u"taken" ? int(HotkeyError::taken)
                                               : int(HotkeyError::unsupported);
        const QString& told = f[1];
        Rig rig;
        rig.keyboard.refusal = refusal < 0 ? std::nullopt : std::optional(HotkeyError(refusal));
        if (refusal < 0) { // Super alone between two chords
            const KeySequence stored{{{40, 256}, {55, 256}, {8, 256}}, 0.5};
            rig.prefs->setValue(PreferenceKeys::hotkeySequence, *stored.toJSONString());
        }
        AppDelegate& d = rig.make();
        const auto title = [&rig] { return rig.menu()->actions().first()->text(); };
        // No key promised that does nothing; told once, however often tried again.
        QCOMPARE(title(), u"Capture Screenshot"_s);
        emit rig.keyboard.applicationActivated();
        emit rig.keyboard.applicationActivated();
        QCOMPARE(rig.notifier.posted.size(), 1);
        QCOMPARE(rig.notifier.posted.first().first, u"Key sequence not available"_s);
        QVERIFY2(rig.notifier.posted.first().second.contains(told),
                 qPrintable(rig.notifier.posted.first().second));
        // The other program lets go: the next activation registers the key.
        rig.keyboard.refusal.reset();
        emit rig.keyboard.applicationActivated();
        QCOMPARE(d.hotkeyRegistered(), refusal >= 0);
        if (refusal >= 0) {
            QCOMPARE(title(), u"Capture Screenshot (Shift+Super+8)"_s);
            emit rig.keyboard.chordPressed();
            QTRY_COMPARE(rig.capture.requests.size(), 1);
            // Lost later: told again, tried again at the next activation.
            rig.keyboard.grabbed.reset();
            emit rig.keyboard.refused(HotkeyError(refusal));
            QCOMPARE(title(), u"Capture Screenshot"_s);
            QCOMPARE(rig.notifier.posted.size(), 2);
            emit rig.keyboard.applicationActivated();
            d.shutdown(); // quitting lets go of the key
            QVERIFY(d.hotkeyRegistered() && !rig.keyboard.grabbed);
        }
    }

    void recorderChangesTheSequence()
    {
        Rig rig;
        AppDelegate& d = rig.make();
        constexpr quint32 cmd = CarbonModifier::Command;
        const auto typeKC = [&rig](double t) {
            emit rig.keyboard.keyEvent(HotkeyBackend::EventType::keyDown, 40, cmd, t);
            emit rig.keyboard.keyEvent(HotkeyBackend::EventType::keyDown, 8, cmd, t + 0.2);
        };
        NotificationHub::shared().post(NotificationNames::showHotkeyRecorder);
        HotkeyRecorderWindow* recorder = d.hotkeyWindow();
        QVERIFY(recorder && recorder->isVisible());
        // Typing the current sequence into the recorder does not capture.
        emit rig.keyboard.chordPressed();
        recorder->startRecording();
        for (const quint32 key : {40u, 8u}) {
            recorder->handleRecordingEvent(HotkeyBackend::EventType::flagsChanged, 55, cmd);
            recorder->handleRecordingEvent(HotkeyBackend::EventType::keyDown, key, cmd);
        }
        recorder->stopRecording();
        recorder->save();
        const KeySequence recorded{{{40, cmd}, {8, cmd}}, 0.5};
        QCOMPARE(d.currentKeySequence(), recorded);
        QCOMPARE(rig.menu()->actions().first()->text(), u"Capture Screenshot (Super+K Super+C)"_s);
        QCOMPARE(rig.prefs->stringValue(PreferenceKeys::hotkeySequence), recorded.toJSONString());
        QVERIFY(rig.keyboard.observing && !rig.keyboard.grabbed);
        // The recorder is gone: the new sequence captures.
        QTRY_VERIFY(!d.hotkeyWindow());
        QVERIFY(rig.capture.requests.isEmpty());
        typeKC(1.0);
        QTRY_COMPARE(rig.capture.requests.size(), 1);
        // Closing an unsaved recorder changes nothing.
        d.configureHotkey();
        QVERIFY(d.hotkeyWindow()->close());
        QTRY_VERIFY(!d.hotkeyWindow());
        typeKC(2.0);
        QTRY_COMPARE(rig.capture.requests.size(), 2);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
