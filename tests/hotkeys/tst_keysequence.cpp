#include "hotkeys/KeySequence.h"

#include "CaseTable.h"

#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(KeySequence)

namespace {

namespace M = CarbonModifier;
constexpr quint32 cmd = M::Command, shift = M::Shift, option = M::Option, control = M::Control;
constexpr quint32 capsLock = M::CapsLock, keyC = 8, keyK = 40;

KeySequence sequence(QList<KeyPress> presses, double maxTime = 0.5)
{
    return KeySequence{std::move(presses), maxTime};
}

} // namespace

class TestKeySequence : public QObject
{
    Q_OBJECT

private slots:
    void display_data()
    {
        QTest::addColumn<KeySequence>("sequence");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("menu");

        QTest::newRow("empty") << KeySequence{} << u"No hotkey set"_s << QString();
        QTest::newRow("default") << KeySequence::defaultSequence() << u"Shift+Super+8"_s
                                 << u"Shift+Super+8"_s;
        QTest::newRow("desktop order, lock and unknown bits hidden")
            << sequence({{0, capsLock | 0xFFFF0000u | cmd | shift | option | control}})
            << u"Ctrl+Alt+Shift+Super+A"_s << u"Ctrl+Alt+Shift+Super+A"_s;
        QTest::newRow("chords") << sequence({{keyK, cmd}, {keyC, cmd}, {49, 0}})
                                << u"Super+K → Super+C → Space"_s << u"Super+K Super+C Space"_s;
        QTest::newRow("modifier key alone")
            << sequence({{60, shift | cmd}}) << u"Shift"_s << u"Shift"_s;
        QTest::newRow("named and unnamed keys")
            << sequence({{57, cmd}, {122, shift}, {200, option}})
            << u"Super+Caps Lock → Shift+F1 → Alt+Key 200"_s
            << u"Super+Caps Lock Shift+F1 Alt+Key 200"_s;
    }

    void display()
    {
        QFETCH(KeySequence, sequence);
        QFETCH(QString, display);
        QFETCH(QString, menu);
        QCOMPARE(sequence.displayString(), display);
        QCOMPARE(sequence.menuDisplayString(), menu);
    }

    // The stored text, and what it reads as ("keyCode/modifiers ... @time");
    // empty: refused as a whole.
    void fromJSONString_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("read");
        const QString one =
            uR"({"presses":[{"keyCode":%1,"modifiers":256}],"maxTimeBetweenKeys":0.5})"_s;
        for (const QString& code :
             {u"\"8\""_s, u"8.5"_s, u"-1"_s, u"4294967296"_s, u"1e300"_s, u"null"_s, u"true"_s}) {
            QTest::addRow("keyCode %s", qPrintable(code)) << one.arg(code) << QString();
        }
        QTest::newRow("whole number with a fraction") << one.arg(u"8.0"_s) << u"8/256 @0.5"_s;
        // clang-format off
        addRows({uR"({"v":2,"presses":[{"keyCode":8,"modifiers":256,"n":"C"}],"maxTimeBetweenKeys":0.25}→8/256 @0.25)",
                 uR"({"presses":[],"maxTimeBetweenKeys":1}→ @1)",
                 uR"({"presses":[{"keyCode":4294967295,"modifiers":4294967295}],"maxTimeBetweenKeys":0.5}→4294967295/4294967295 @0.5)",
                 uR"({"presses":[{"keyCode":8,"modifiers":256}]}→)",
                 uR"({"presses":[{"keyCode":8}],"maxTimeBetweenKeys":0.5}→)",
                 uR"({"presses":[],"maxTimeBetweenKeys":"0.5"}→)",
                 uR"({"presses":{"keyCode":8,"modifiers":256},"maxTimeBetweenKeys":0.5}→)",
                 uR"({"presses":[{"keyCode":8,"modifiers":256},{"keyCode":"x","modifiers":0}],"maxTimeBetweenKeys":0.5}→)",
                 uR"([{"presses":[],"maxTimeBetweenKeys":0.5}]→)", u"→",
                 uR"({"presses":[],"maxTimeBetweenKeys":0.5} x→)"});
        // clang-format on
    }
    void fromJSONString()
    {
        QFETCH(QString, json);
        const std::optional<KeySequence> decoded = KeySequence::fromJSONString(json);
        QStringList read;
        for (const KeyPress& press : decoded ? decoded->presses : QList<KeyPress>()) {
            read << u"%1/%2"_s.arg(press.keyCode).arg(press.modifiers);
        }
        QTEST(decoded ? read.join(u' ') + u" @"_s + QString::number(decoded->maxTimeBetweenKeys)
                      : QString(),
              "read");
    }

    void roundTrip()
    {
        for (const KeySequence& s : {KeySequence::defaultSequence(), KeySequence{},
                                     sequence({{4294967295u, 4294967295u}, {keyK, cmd}}, 0.8)}) {
            const std::optional<QString> json = s.toJSONString();
            QVERIFY(json);
            // Pretty-printed, and key codes written as integers (28, not 2.8e1).
            QVERIFY(json->contains(u"\n    \"maxTimeBetweenKeys\""_s));
            for (const KeyPress& press : s.presses) {
                QVERIFY(json->contains(u"\"keyCode\": %1,"_s.arg(press.keyCode)));
            }
            QVERIFY(KeySequence::fromJSONString(*json) == s);
        }
        // JSON has no NaN or infinity: such a time cannot be stored.
        QVERIFY(!sequence({}, std::numeric_limits<double>::quiet_NaN()).toJSONString());
        QVERIFY(!sequence({}, std::numeric_limits<double>::infinity()).toJSONString());
    }

    void namesFromTheLayout()
    {
        // A German layout names the key at the position of Z "Y"; keys the
        // layout does not name keep the built-in names.
        setKeyNameProvider(
            [](quint32 code) { return code == 6 ? std::optional(u"Y"_s) : std::nullopt; });
        const QString text = sequence({{6, cmd}, {105, 0}, {71, 0}}).displayString();
        setKeyNameProvider(nullptr);
        QCOMPARE(text, u"Super+Y → Print → Num Lock"_s);
    }
};

QTEST_APPLESS_MAIN(TestKeySequence)
#include "tst_keysequence.moc"
