#include "hotkeys/HotkeyManager.h"

#include "CaseTable.h"
#include "ScriptedHotkeyBackend.h"

#include <QTest>

using namespace Qt::StringLiterals;
Q_DECLARE_METATYPE(KeySequence)

namespace {

constexpr quint32 cmd = CarbonModifier::Command, shift = CarbonModifier::Shift;

// Feeds typed keys: "+cmd" and "-cmd" press and release Super ("shift" alike),
// "caps" toggles Caps Lock, a letter (K, C, V, X) goes down with the
// modifiers held. "@1.2" sets a token's time; otherwise 0.1 s after the last.
void type(ScriptedHotkeyBackend& b, const QString& keys)
{
    using T = HotkeyBackend::EventType;
    quint32 held = 0;
    double t = 0;
    for (const QString& token : keys.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = token.section(u'@', 0, 0);
        t = token.contains(u'@') ? token.section(u'@', 1).toDouble() : t + 0.1;
        if (key.startsWith(u'+') || key.startsWith(u'-')) {
            const bool super = key.mid(1) == u"cmd"_s;
            const quint32 bit = super ? cmd : shift;
            held = key.startsWith(u'+') ? held | bit : held & ~bit;
            emit b.keyEvent(T::flagsChanged, super ? 55 : 56, held, t);
        } else if (key == u"caps"_s) { // its own flags event; the lock bit is ignored
            emit b.keyEvent(T::flagsChanged, 57, held | CarbonModifier::CapsLock, t);
        } else {
            const quint32 codes[] = {40, 8, 9, 7};
            emit b.keyEvent(T::keyDown, codes[QStringView(u"KCVX").indexOf(key)], held, t);
        }
    }
}

} // namespace

class TestHotkeyManager : public QObject
{
    Q_OBJECT
private slots:
    // The sequence (KC: Super+K then Super+C; KV; KCV; kk: K twice without
    // modifiers), the keys typed, the buffer after the last key as the menu
    // shows chords, and how often it fired.
    void eventPath_data()
    {
        // clang-format off
        rows({u"KC→+cmd K C→→1", // hold Super, K then C
              u"KV→+cmd K C→Super+K Super+C→0", // the Super entry goes when K arrives
              u"KV→+cmd K -cmd +cmd C→Super+K Super+C→0",
              u"KC→+cmd -cmd→→0", u"KC→+cmd +shift -shift→→0",
              u"KC→+cmd K -cmd→Super+K→0", // a release after a key keeps the key
              // Times exact in binary: a gap of exactly the limit, then a millisecond more.
              u"KC→+cmd@0 K@0.25 C@0.75→→1", u"KC→+cmd@0 K@0.25 C@0.751→Super+K Super+C→0",
              u"KC→+cmd C K→Super+C Super+K→0", u"KC→K C→K C→0",
              u"KC→+cmd +shift K C→Shift+Super+K Shift+Super+C→0",
              u"KC→+cmd@0 K@0 C@1.2→Super+C→0", // 1.2 s later: pruned to the last chord
              u"KC→+cmd K V C→Super+K Super+V Super+C→0", u"KC→+cmd K C K C→→2",
              u"KC→+cmd K caps C→→1", // Caps Lock changes nothing
              u"KCV→+cmd@0 K@0 C@0.5 V@1→→1", // three chords: the window is three gaps long
              u"kk→K K@0.13→→1", // key repeats count
              u"KCV→X C V X C V X C V X C→C V X C V X C V X C→0"}); // the eleventh pushes out the oldest
        // clang-format on
    }
    void eventPath()
    {
        const QStringList f = fields();
        const QString keys = f[1], buffer = f[2];
        const int fired = f[3].toInt();
        KeySequence sequence{{}, 0.5};
        for (const QChar key : f[0]) {
            const quint32 codes[] = {40, 8, 9};
            sequence.presses.append(
                {codes[QStringView(u"KCV").indexOf(key.toUpper())], key.isUpper() ? cmd : 0});
        }
        ScriptedHotkeyBackend backend;
        HotkeyManager manager;
        manager.setBackend(&backend);
        int calls = 0;
        QVERIFY(manager.registerSequence(sequence, [&calls] { ++calls; }));
        type(backend, keys);
        KeySequence held;
        for (const KeyBufferEntry& entry : manager.buffer()) {
            held.presses.append(entry.press);
        }
        QCOMPARE(held.menuDisplayString(), buffer);
        QCOMPARE(calls, 0); // never from inside the event
        QTest::qWait(10);
        QCOMPARE(calls, fired);
    }

    void callbackIsLaterAndCancellable()
    {
        ScriptedHotkeyBackend backend;
        HotkeyManager manager;
        manager.setBackend(&backend);
        int first = 0, second = 0;
        // Bits beyond the four modifiers (a stored Caps Lock) do not narrow the grab.
        QVERIFY(manager.registerSequence({{{28, cmd | shift | CarbonModifier::CapsLock}}, 0.5},
                                         [&] { ++first; }));
        QCOMPARE(backend.grabbed, std::optional(KeyPress{28, cmd | shift}));
        // Unregistered before the pending call runs: nothing happens.
        emit backend.chordPressed();
        manager.unregister();
        // Suspended after the press, before the call runs: nothing either.
        QVERIFY(manager.registerSequence(KeySequence::defaultSequence(), [&] { ++second; }));
        emit backend.chordPressed();
        manager.setSuspended(true);
        QTest::qWait(10);
        manager.setSuspended(false);
        QCOMPARE(first + second, 0);
        emit backend.chordPressed();
        QTRY_COMPARE(second, 1);
    }
};

QTEST_GUILESS_MAIN(TestHotkeyManager)
#include "tst_hotkeymanager.moc"
