// The recorder driven by real key events (xdotool) on the harness's X server.
#include "hotkeys/HotkeyRecorderWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 cmd = CarbonModifier::Command;
constexpr quint32 shift = CarbonModifier::Shift;
constexpr int delayMs = 400;
using Presses = QList<KeyPress>;

bool xdotool(const QString& commands)
{
    QProcess p;
    p.start(u"xdotool"_s, commands.split(u' '));
    return p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Rig
{
    QList<KeySequence> saved;
    HotkeyRecorderWindow window{5, delayMs, [this](const KeySequence& s) { saved.append(s); }};

    Rig()
    {
        window.present();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QPushButton* button(const QString& text) const
    {
        for (QPushButton* b : window.findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }
    QStringList shownButtons() const
    {
        QStringList shown;
        for (const QString& text : {u"Record Hotkey"_s, u"Clear"_s, u"Cancel"_s, u"Save"_s}) {
            if (button(text)->isVisible()) {
                shown.append(text);
            }
        }
        return shown;
    }
    bool countShown() const
    {
        for (QLabel* label : window.findChildren<QLabel*>()) {
            if (label->text().endsWith(u" keys recorded"_s)) {
                return label->isVisible();
            }
        }
        return false;
    }
};

} // namespace

class TestHotkeyRecorder : public QObject
{
    Q_OBJECT
private slots:
    void recordsRealKeys_data();
    void recordsRealKeys();
    void buttonsAndKeyboard();
    void closingStopsRecording();
};

void TestHotkeyRecorder::recordsRealKeys_data()
{
    QTest::addColumn<QString>("keys"); // xdotool commands
    QTest::addColumn<QString>("display");
    QTest::addColumn<Presses>("presses");
    QTest::addColumn<bool>("stoppedAtOnce");
    QTest::addColumn<bool>("savable"); // a lone modifier can only end a sequence

    QTest::newRow("Super+K") << u"key super+k"_s << u"Super+K"_s << Presses{{40, cmd}} << false
                             << true;
    QTest::newRow("Super held, then K: one chord")
        << u"keydown super sleep 0.1 key k keyup super"_s << u"Super+K"_s << Presses{{40, cmd}}
        << false << true;
    QTest::newRow("two chords") << u"key super+k key super+c"_s << u"Super+K → Super+C"_s
                                << Presses{{40, cmd}, {8, cmd}} << false << true;
    QTest::newRow("Shift alone") << u"key Shift_L"_s << u"Shift"_s << Presses{{56, shift}} << false
                                 << false;
    QTest::newRow("Shift alone, then a key: the key alone")
        << u"key Shift_L key x"_s << u"X"_s << Presses{{7, 0}} << false << true;
    QTest::newRow("Shift alone at the end") << u"key x key Shift_L"_s << u"X → Shift"_s
                                            << Presses{{7, 0}, {56, shift}} << false << true;
    QTest::newRow("right Super and Shift, then 8")
        << u"keydown Super_R keydown Shift_R key 8 keyup Shift_R keyup Super_R"_s
        << u"Shift+Super+8"_s << Presses{{28, cmd | shift}} << false << true;
    QTest::newRow("Escape and Return are keys too")
        << u"key Escape key Return"_s << u"Esc → Return"_s << Presses{{53, 0}, {36, 0}} << false
        << true;
    QTest::newRow("Caps Lock records nothing")
        << u"key Caps_Lock key a key Caps_Lock"_s << u"A"_s << Presses{{0, 0}} << false << true;
    QTest::newRow("five chords stop at once")
        << u"key a key b key c key d key e key f"_s << u"A → B → C → D → E"_s
        << Presses{{0, 0}, {11, 0}, {8, 0}, {2, 0}, {14, 0}} << true << true;
}

void TestHotkeyRecorder::recordsRealKeys()
{
    QFETCH(QString, keys);
    QFETCH(QString, display);
    QFETCH(Presses, presses);
    QFETCH(bool, stoppedAtOnce);
    QFETCH(bool, savable);

    QLineEdit elsewhere; // another window of the application
    elsewhere.show();
    Rig rig;
    QCOMPARE(rig.window.displayText(), u"Press 'Record' to start..."_s);
    rig.button(u"Record Hotkey"_s)->click();
    QVERIFY(rig.window.isRecording());
    QCOMPARE(rig.window.displayText(), u"Waiting for keypresses..."_s);
    QVERIFY(rig.countShown());
    QVERIFY(xdotool(keys));
    QTRY_COMPARE(rig.window.displayText(), display);
    QCOMPARE(rig.window.recordedPresses(), presses);
    QCOMPARE(!rig.window.isRecording(), stoppedAtOnce);
    // Stops by itself after the pause, and lets the keyboard go.
    QTRY_VERIFY(!rig.window.isRecording());
    QVERIFY(!QWidget::keyboardGrabber());
    QVERIFY(!rig.countShown());
    QCOMPARE(rig.shownButtons().contains(u"Save"_s), savable);
    QCOMPARE(elsewhere.text(), QString());

    rig.window.save();
    QCOMPARE(rig.saved.size(), savable ? 1 : 0);
    QVERIFY(!savable || rig.saved.first() == (KeySequence{presses, 0.5}));
    QCOMPARE(rig.window.isVisible(), !savable);
}

void TestHotkeyRecorder::buttonsAndKeyboard()
{
    Rig rig;
    QCOMPARE(rig.shownButtons(), (QStringList{u"Record Hotkey"_s, u"Cancel"_s}));
    // Return is Record.
    QVERIFY(xdotool(u"key Return"_s));
    QTRY_VERIFY(rig.window.isRecording());
    QCOMPARE(rig.shownButtons(), (QStringList{u"Clear"_s, u"Cancel"_s}));
    QVERIFY(xdotool(u"key super+k"_s));
    QTRY_COMPARE(rig.window.displayText(), u"Super+K"_s);

    // Clear forgets the chord, keeps recording and stops no more by itself.
    rig.button(u"Clear"_s)->click();
    QCOMPARE(rig.window.displayText(), u"Waiting for keypresses..."_s);
    QTest::qWait(delayMs * 2);
    QVERIFY(rig.window.isRecording());
    QVERIFY(xdotool(u"key ctrl+alt+a"_s));
    QTRY_COMPARE(rig.window.displayText(), u"Ctrl+Alt+A"_s);
    QTRY_VERIFY(!rig.window.isRecording());

    // Ctrl+Return saves and closes.
    QVERIFY(xdotool(u"key ctrl+Return"_s));
    QTRY_VERIFY(!rig.window.isVisible());
    QCOMPARE(rig.saved.size(), 1);
    QCOMPARE(rig.saved.first().presses,
             (Presses{{0, CarbonModifier::Control | CarbonModifier::Option}}));

    // Escape closes another recorder without saving.
    Rig second;
    second.button(u"Record Hotkey"_s)->click();
    QVERIFY(xdotool(u"key super+k"_s));
    QTRY_VERIFY(!second.window.isRecording());
    QVERIFY(xdotool(u"key Escape"_s));
    QTRY_VERIFY(!second.window.isVisible());
    QVERIFY(second.saved.isEmpty());
}

void TestHotkeyRecorder::closingStopsRecording()
{
    Rig rig;
    rig.button(u"Record Hotkey"_s)->click();
    QVERIFY(QWidget::keyboardGrabber() == &rig.window);
    // The window's close button, before any chord (no automatic stop due).
    QVERIFY(rig.window.close());
    QVERIFY(!rig.window.isRecording());
    QVERIFY(!QWidget::keyboardGrabber());
    // The keyboard is free again: keys reach another window.
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    QVERIFY(xdotool(u"key x"_s));
    QTRY_COMPARE(elsewhere.text(), u"x"_s);
    QVERIFY(rig.saved.isEmpty());
}

QTEST_MAIN(TestHotkeyRecorder)
#include "tst_hotkeyrecorder.moc"
