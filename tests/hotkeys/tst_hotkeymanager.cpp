#include "hotkeys/HotkeyManager.h"

#include "ScriptedHotkeyBackend.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(KeySequence)

namespace {

using Type = HotkeyBackend::EventType;
constexpr quint32 cmd = CarbonModifier::Command;
constexpr quint32 shift = CarbonModifier::Shift;
constexpr quint32 keyK = 40, keyC = 8, keyV = 9, commandKey = 55, shiftKey = 56, capsLock = 57;

// One event: key down ("k") or modifier change ("m"), at a time in seconds.
struct Event
{
    char kind;
    quint32 keyCode;
    quint32 modifiers;
    double time;
};
using Events = QList<Event>;
using Presses = QList<KeyPress>;

const KeySequence cmdKcmdC{{{keyK, cmd}, {keyC, cmd}}, 0.5};
const KeySequence cmdKcmdV{{{keyK, cmd}, {keyV, cmd}}, 0.5};

} // namespace

Q_DECLARE_METATYPE(Events)

class TestHotkeyManager : public QObject
{
    Q_OBJECT
private slots:
    void eventPath_data();
    void eventPath();
    void registration_data();
    void registration();
    void callbackIsLaterAndCancellable();
};

void TestHotkeyManager::eventPath_data()
{
    QTest::addColumn<KeySequence>("sequence");
    QTest::addColumn<Events>("events");
    QTest::addColumn<Presses>("buffer"); // after the last event
    QTest::addColumn<int>("fired");

    const Event holdCmd{'m', commandKey, cmd, 0.0};
    QTest::newRow("hold Super, K then C")
        << cmdKcmdC << Events{holdCmd, {'k', keyK, cmd, 0.1}, {'k', keyC, cmd, 0.3}} << Presses{}
        << 1;
    QTest::newRow("the Super entry goes when K arrives")
        << cmdKcmdV << Events{holdCmd, {'k', keyK, cmd, 0.1}, {'k', keyC, cmd, 0.3}}
        << Presses{{keyK, cmd}, {keyC, cmd}} << 0;
    QTest::newRow("Super released and pressed again between K and C")
        << cmdKcmdV
        << Events{holdCmd,
                  {'k', keyK, cmd, 0.1},
                  {'m', commandKey, 0, 0.2},
                  {'m', commandKey, cmd, 0.3},
                  {'k', keyC, cmd, 0.4}}
        << Presses{{keyK, cmd}, {keyC, cmd}} << 0;
    QTest::newRow("same, matching") << cmdKcmdC
                                    << Events{holdCmd,
                                              {'k', keyK, cmd, 0.1},
                                              {'m', commandKey, 0, 0.2},
                                              {'m', commandKey, cmd, 0.3},
                                              {'k', keyC, cmd, 0.4}}
                                    << Presses{} << 1;
    QTest::newRow("Super pressed and released alone")
        << cmdKcmdC << Events{holdCmd, {'m', commandKey, 0, 0.1}} << Presses{} << 0;
    QTest::newRow("two modifiers pressed, one released: still only modifiers")
        << cmdKcmdC << Events{holdCmd, {'m', shiftKey, cmd | shift, 0.1}, {'m', shiftKey, cmd, 0.2}}
        << Presses{} << 0;
    QTest::newRow("release after a key keeps the key")
        << cmdKcmdC << Events{holdCmd, {'k', keyK, cmd, 0.1}, {'m', commandKey, 0, 0.2}}
        << Presses{{keyK, cmd}} << 0;
    QTest::newRow("0.6 s between the chords")
        << cmdKcmdC << Events{{'k', keyK, cmd, 0.0}, {'k', keyC, cmd, 0.6}}
        << Presses{{keyK, cmd}, {keyC, cmd}} << 0;
    QTest::newRow("1.2 s later: pruned to the last chord")
        << cmdKcmdC << Events{{'k', keyK, cmd, 0.0}, {'k', keyC, cmd, 1.2}} << Presses{{keyC, cmd}}
        << 0;
    QTest::newRow("a key in between breaks it")
        << cmdKcmdC << Events{{'k', keyK, cmd, 0.0}, {'k', keyV, cmd, 0.1}, {'k', keyC, cmd, 0.2}}
        << Presses{{keyK, cmd}, {keyV, cmd}, {keyC, cmd}} << 0;
    QTest::newRow("typed twice: fires twice") << cmdKcmdC
                                              << Events{{'k', keyK, cmd, 0.0},
                                                        {'k', keyC, cmd, 0.1},
                                                        {'k', keyK, cmd, 0.2},
                                                        {'k', keyC, cmd, 0.3}}
                                              << Presses{} << 2;
    QTest::newRow("Caps Lock changes nothing")
        << cmdKcmdC
        << Events{holdCmd,
                  {'k', keyK, cmd, 0.1},
                  {'m', capsLock, cmd | CarbonModifier::CapsLock, 0.2},
                  {'k', keyC, cmd, 0.3}}
        << Presses{} << 1;
    QTest::newRow("lock bits from the source are ignored")
        << cmdKcmdC
        << Events{{'k', keyK, cmd | CarbonModifier::CapsLock, 0.0}, {'k', keyC, cmd | 0x10000, 0.1}}
        << Presses{} << 1;
    QTest::newRow("three chords: the window is three gaps long")
        << KeySequence{{{keyK, cmd}, {keyC, cmd}, {keyV, cmd}}, 0.5}
        << Events{{'k', keyK, cmd, 0.0}, {'k', keyC, cmd, 0.5}, {'k', keyV, cmd, 1.0}} << Presses{}
        << 1;
    QTest::newRow("key repeats count as presses")
        << KeySequence{{{keyK, 0}, {keyK, 0}}, 0.5}
        << Events{{'k', keyK, 0, 0.0}, {'k', keyK, 0, 0.03}} << Presses{} << 1;

    // Eleven different keys within the window: the first one is pushed out.
    Events eleven;
    Presses lastTen;
    for (quint32 i = 0; i < 11; ++i) {
        eleven.append({'k', i, 0, i * 0.01});
        if (i > 0) {
            lastTen.append({i, 0});
        }
    }
    QTest::newRow("the eleventh entry pushes out the oldest") << cmdKcmdC << eleven << lastTen << 0;
}

void TestHotkeyManager::eventPath()
{
    QFETCH(KeySequence, sequence);
    QFETCH(Events, events);
    QFETCH(Presses, buffer);
    QFETCH(int, fired);

    ScriptedHotkeyBackend backend;
    HotkeyManager manager;
    manager.setBackend(&backend);
    int calls = 0;
    QVERIFY(manager.registerSequence(sequence, [&calls] { ++calls; }));
    QVERIFY(backend.observing && !backend.grabbed);
    for (const Event& e : events) {
        backend.key(e.kind == 'k' ? Type::keyDown : Type::flagsChanged, e.keyCode, e.modifiers,
                    e.time);
    }
    Presses held;
    for (const KeyBufferEntry& entry : manager.buffer()) {
        held.append(entry.press);
    }
    QCOMPARE(held, buffer);
    QCOMPARE(calls, 0); // never from inside the event
    QTRY_COMPARE(calls, fired);
    QTest::qWait(10);
    QCOMPARE(calls, fired);

    // While suspended (the recorder is open) the same events do nothing.
    manager.setSuspended(true);
    for (const Event& e : events) {
        backend.key(e.kind == 'k' ? Type::keyDown : Type::flagsChanged, e.keyCode, e.modifiers,
                    e.time + 100);
    }
    QVERIFY(manager.buffer().isEmpty());
    QTest::qWait(10);
    QCOMPARE(calls, fired);
}

void TestHotkeyManager::registration_data()
{
    QTest::addColumn<KeySequence>("sequence");
    QTest::addColumn<int>("refusal"); // -1: granted
    QTest::addColumn<int>("result");  // -1: registered, else the HotkeyError
    QTest::addColumn<bool>("grab");   // through a grab, or by observing

    const KeySequence single{{{28, cmd | shift | CarbonModifier::CapsLock}}, 0.5};
    const int taken = int(HotkeyError::taken);
    const int unsupported = int(HotkeyError::unsupported);
    QTest::newRow("one chord, granted") << single << -1 << -1 << true;
    QTest::newRow("one chord, taken") << single << taken << taken << true;
    QTest::newRow("two chords, granted") << cmdKcmdC << -1 << -1 << false;
    QTest::newRow("two chords, cannot observe") << cmdKcmdC << unsupported << unsupported << false;
    QTest::newRow("nothing to watch")
        << KeySequence{} << -1 << int(HotkeyError::emptySequence) << false;
    // A lone modifier is seen only as the last of several chords.
    const int modifierAlone = int(HotkeyError::modifierAlone);
    QTest::newRow("Shift alone") << KeySequence{{{56, shift}}, 0.5} << -1 << modifierAlone << true;
    QTest::newRow("Shift, then a chord")
        << KeySequence{{{56, shift}, {keyK, cmd}}, 0.5} << -1 << modifierAlone << false;
    QTest::newRow("Super between chords")
        << KeySequence{{{keyK, cmd}, {commandKey, cmd}, {keyC, cmd}}, 0.5} << -1 << modifierAlone
        << false;
    QTest::newRow("a chord, then Shift")
        << KeySequence{{{keyK, cmd}, {56, shift}}, 0.5} << -1 << -1 << false;
}

void TestHotkeyManager::registration()
{
    QFETCH(KeySequence, sequence);
    QFETCH(int, refusal);
    QFETCH(int, result);
    QFETCH(bool, grab);

    ScriptedHotkeyBackend backend;
    if (refusal >= 0) {
        backend.refusal = HotkeyError(refusal);
    }
    HotkeyManager manager;
    manager.setBackend(&backend);
    QSignalSpy lost(&manager, &HotkeyManager::registrationLost);
    QSignalSpy activated(&manager, &HotkeyManager::applicationActivated);
    int calls = 0;
    const auto registered = manager.registerSequence(sequence, [&calls] { ++calls; });
    QCOMPARE(registered ? -1 : int(registered.error()), result);
    QCOMPARE(manager.isWatching(), result < 0);
    // A refused sequence stays, to be tried again.
    QCOMPARE(manager.registeredSequence().has_value(), !sequence.presses.isEmpty());
    if (grab && result < 0) {
        // The grab leaves out stored bits beyond the four modifiers.
        QCOMPARE(backend.grabbed, std::optional(KeyPress{28, cmd | shift}));
    }
    QCOMPARE(backend.observing, !grab && result < 0);

    backend.press();
    QTest::qWait(10);
    QCOMPARE(calls, grab && result < 0 ? 1 : 0);

    backend.activate();
    QCOMPARE(activated.count(), 1);
    backend.refuseLater(HotkeyError::unsupported);
    QCOMPARE(lost.count(), result < 0 ? 1 : 0);
    QVERIFY(!manager.isWatching());

    manager.unregister();
    QVERIFY(!backend.grabbed && !backend.observing && !manager.registeredSequence());
}

void TestHotkeyManager::callbackIsLaterAndCancellable()
{
    ScriptedHotkeyBackend backend;
    HotkeyManager manager;
    manager.setBackend(&backend);
    int first = 0, second = 0;
    QVERIFY(manager.registerSequence(KeySequence::defaultSequence(), [&] { ++first; }));
    // Unregistered before the pending call runs: nothing happens.
    backend.press();
    manager.unregister();
    QTest::qWait(10);
    QCOMPARE(first, 0);
    // A new registration replaces the callback; presses while suspended
    // do not count, also when the suspension begins after the press.
    QVERIFY(manager.registerSequence(KeySequence::defaultSequence(), [&] { ++second; }));
    backend.press();
    manager.setSuspended(true);
    backend.press();
    QTest::qWait(10);
    manager.setSuspended(false);
    backend.press();
    QTRY_COMPARE(second, 1);
    // The callback may register again from inside itself.
    QVERIFY(manager.registerSequence(KeySequence::defaultSequence(), [&] {
        ++second;
        QVERIFY(manager.registerSequence(cmdKcmdC, [] {}));
    }));
    backend.press();
    QTRY_COMPARE(second, 2);
    QVERIFY(backend.observing);
}

QTEST_GUILESS_MAIN(TestHotkeyManager)
#include "tst_hotkeymanager.moc"
