// The recorder driven by real key events (xdotool) on the harness's X server.
#include "hotkeys/HotkeyRecorderWindow.h"

#include "CaseTable.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using Presses = QList<KeyPress>;

namespace {

constexpr int delayMs = 400;

bool xdotool(const QString& commands)
{
    return QProcess::execute(u"xdotool"_s, commands.split(u' ')) == 0;
}

// The visible buttons and lines, by their words.
QString controls(const QWidget& window)
{
    QStringList shown;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const QString text = w->property("text").toString();
        if (w->isVisible() &&
            (qobject_cast<const QPushButton*>(w) || text.endsWith(u"recorded"_s))) {
            shown << text;
        }
    }
    return shown.join(u", "_s);
}

// Record Hotkey, Clear, Cancel, Save.
QPushButton* button(const QWidget& window, int index)
{
    return window.findChildren<QPushButton*>().at(index);
}

} // namespace

class TestHotkeyRecorder : public QObject
{
    Q_OBJECT
private slots:
    // xdotool commands; what the window shows (">" for "→"); the presses recorded as
    // "keyCode/modifiers" (256 Super, 512 Shift); a lone modifier can only
    // end a sequence, so such a recording cannot be saved.
    void recordsRealKeys_data()
    {
        rows({u"key super+k→Super+K→40/256",
              u"key super+k key super+c→Super+K > Super+C→40/256 8/256",
              u"key Shift_L→Shift→56/512", u"key x key Shift_L→X > Shift→7/0 56/512",
              u"keydown Super_R keydown Shift_R key 8 keyup Shift_R keyup "
              u"Super_R→Shift+Super+8→28/768",
              u"key Escape key Return→Esc > Return→53/0 36/0",
              u"key Caps_Lock key a key Caps_Lock→A→0/0",
              u"key a key b key c key d key e key f→A > B > C > D > E→0/0 11/0 8/0 2/0 14/0"});
    }
    void recordsRealKeys()
    {
        const QStringList f = fields();
        const QString keys = f[0], display = QString(f[1]).replace(u'>', u'→');
        Presses presses;
        for (const QString& press : f[2].split(u' ')) {
            presses.append({press.section(u'/', 0, 0).toUInt(), press.section(u'/', 1).toUInt()});
        }
        const bool savable = f[2] != u"56/512";
        QLineEdit elsewhere; // another window of the application
        elsewhere.show();
        QList<KeySequence> saved;
        HotkeyRecorderWindow window(5, delayMs, [&](const KeySequence& s) { saved.append(s); });
        window.present();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.displayText(), u"Press 'Record' to start..."_s);
        button(window, 0)->click();
        QCOMPARE(controls(window), u"0 of 5 keys recorded, Clear, Cancel"_s);
        QVERIFY(xdotool(keys));
        QTRY_COMPARE(window.displayText(), display);
        QCOMPARE(window.recordedPresses(), presses);
        QCOMPARE(window.isRecording(), presses.size() < 5); // the fifth chord stops at once
        // Stops by itself after the pause and lets the keyboard go.
        QTRY_VERIFY(!window.isRecording());
        QVERIFY(!QWidget::keyboardGrabber());
        QCOMPARE(controls(window),
                 savable ? u"Record Hotkey, Cancel, Save"_s : u"Record Hotkey, Cancel"_s);
        QCOMPARE(elsewhere.text(), QString());
        window.save();
        QCOMPARE(saved, (savable ? QList<KeySequence>{{presses, 0.5}} : QList<KeySequence>{}));
    }

    void buttonsAndKeyboard()
    {
        QList<KeySequence> saved;
        HotkeyRecorderWindow window(5, delayMs, [&](const KeySequence& s) { saved.append(s); });
        window.present();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(xdotool(u"key Return"_s)); // Record
        QTRY_VERIFY(window.isRecording());
        QVERIFY(xdotool(u"key super+k"_s));
        QTRY_COMPARE(window.displayText(), u"Super+K"_s);
        // Clear forgets the chord, keeps recording and stops no more by itself.
        button(window, 1)->click();
        QCOMPARE(window.displayText(), u"Waiting for keypresses..."_s);
        QTest::qWait(delayMs * 2);
        QVERIFY(window.isRecording());
        QVERIFY(xdotool(u"key ctrl+alt+a"_s));
        QTRY_VERIFY(!window.isRecording());
        QVERIFY(xdotool(u"key ctrl+Return"_s)); // Save
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(saved, (QList<KeySequence>{
                            {{{0, CarbonModifier::Control | CarbonModifier::Option}}, 0.5}}));

        // Again: closed by its close button while recording, then by Escape.
        window.present();
        button(window, 0)->click();
        QCOMPARE(QWidget::keyboardGrabber(), &window);
        QVERIFY(window.close());
        QVERIFY(!window.isRecording() && !QWidget::keyboardGrabber());
        window.present();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(xdotool(u"key Escape"_s));
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(saved.size(), 1);
    }
};

QTEST_MAIN(TestHotkeyRecorder)
#include "tst_hotkeyrecorder.moc"
