#include "hotkeys/KeySequence.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(KeyPress)
Q_DECLARE_METATYPE(KeySequence)
Q_DECLARE_METATYPE(QList<KeyBufferEntry>)

// Readable failure messages for QCOMPARE.
char* toString(const KeySequence& sequence)
{
    QString text = u"["_s;
    for (const KeyPress& press : sequence.presses) {
        text += u"{%1, 0x%2}"_s.arg(press.keyCode).arg(press.modifiers, 0, 16);
    }
    text += u"] %1"_s.arg(sequence.maxTimeBetweenKeys);
    return qstrdup(text.toUtf8().constData());
}

namespace {

constexpr quint32 cmd = CarbonModifier::Command;
constexpr quint32 shift = CarbonModifier::Shift;
constexpr quint32 option = CarbonModifier::Option;
constexpr quint32 control = CarbonModifier::Control;
constexpr quint32 capsLock = CarbonModifier::CapsLock;

constexpr quint32 keyC = 8;
constexpr quint32 keyK = 40;

KeySequence sequence(QList<KeyPress> presses, double maxTime = 0.5)
{
    return KeySequence{std::move(presses), maxTime};
}

} // namespace

class TestKeySequence : public QObject
{
    Q_OBJECT

private slots:
    void keyName_data();
    void keyName();
    void pressDisplay_data();
    void pressDisplay();
    void sequenceDisplay_data();
    void sequenceDisplay();
    void matches_data();
    void matches();
    void equality_data();
    void equality();
    void fromJSONString_data();
    void fromJSONString();
    void toJSONString_data();
    void toJSONString();
    void unwritableTime();
    void defaultSequence();
};

void TestKeySequence::keyName_data()
{
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<QString>("name");

    const auto rows = [](quint32 first, const QStringList& names) {
        for (const QString& name : names) {
            QTest::addRow("%u", first) << first << name;
            ++first;
        }
    };
    rows(0, {u"A"_s, u"S"_s, u"D"_s, u"F"_s, u"H"_s, u"G"_s, u"Z"_s, u"X"_s, u"C"_s, u"V"_s});
    rows(11, {u"B"_s, u"Q"_s, u"W"_s, u"E"_s, u"R"_s, u"Y"_s, u"T"_s});
    rows(18, {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"6"_s, u"5"_s});
    rows(25, {u"9"_s, u"7"_s});
    rows(28, {u"8"_s, u"0"_s});
    rows(31, {u"O"_s, u"U"_s});
    rows(34, {u"I"_s, u"P"_s, u"⏎"_s, u"L"_s, u"J"_s});
    rows(40, {u"K"_s});
    rows(45, {u"N"_s, u"M"_s});
    rows(48, {u"⇥"_s, u"␣"_s});
    rows(51, {u"⌫"_s});
    rows(53,
         {u"⎋"_s, u"⌘"_s, u"⌘"_s, u"⇧"_s, u"⇪"_s, u"⌥"_s, u"⌃"_s, u"⇧"_s, u"⌥"_s, u"⌃"_s, u"fn"_s});
    rows(115, {u"↖"_s, u"⇞"_s, u"⌦"_s});
    rows(119, {u"↘"_s});
    rows(121, {u"⇟"_s});
    rows(123, {u"←"_s, u"→"_s, u"↓"_s, u"↑"_s});
    // Keys beyond the letters and arrows: the recorder accepts any key.
    rows(24, {u"="_s});
    rows(27, {u"-"_s});
    rows(30, {u"]"_s});
    rows(33, {u"["_s});
    rows(39, {u"'"_s});
    rows(41, {u";"_s, u"\\"_s, u","_s, u"/"_s});
    rows(47, {u"."_s});
    rows(50, {u"`"_s});
    rows(10, {u"§"_s});
    rows(114, {u"Help"_s});
    rows(122, {u"F1"_s});
    rows(120, {u"F2"_s});
    rows(99, {u"F3"_s});
    rows(118, {u"F4"_s});
    rows(96, {u"F5"_s, u"F6"_s, u"F7"_s});
    rows(100, {u"F8"_s, u"F9"_s});
    rows(109, {u"F10"_s});
    rows(103, {u"F11"_s});
    rows(111, {u"F12"_s});
    rows(105, {u"F13"_s});
    rows(107, {u"F14"_s});
    rows(113, {u"F15"_s});
    rows(106, {u"F16"_s});
    rows(64, {u"F17"_s});
    rows(79, {u"F18"_s, u"F19"_s});
    rows(90, {u"F20"_s});
    rows(65, {u"Keypad ."_s});
    rows(67, {u"Keypad *"_s});
    rows(69, {u"Keypad +"_s});
    rows(71, {u"Keypad Clear"_s});
    rows(75, {u"Keypad /"_s, u"Keypad Enter"_s});
    rows(78, {u"Keypad -"_s});
    rows(81, {u"Keypad ="_s, u"Keypad 0"_s, u"Keypad 1"_s, u"Keypad 2"_s, u"Keypad 3"_s,
              u"Keypad 4"_s, u"Keypad 5"_s, u"Keypad 6"_s, u"Keypad 7"_s});
    rows(91, {u"Keypad 8"_s, u"Keypad 9"_s});
    // No name of their own.
    rows(52, {u"Key 52"_s});
    rows(127, {u"Key 127"_s});
    rows(4294967295u, {u"Key 4294967295"_s});
}

void TestKeySequence::keyName()
{
    QFETCH(quint32, keyCode);
    QFETCH(QString, name);
    QCOMPARE(::keyName(keyCode), name);
}

void TestKeySequence::pressDisplay_data()
{
    QTest::addColumn<KeyPress>("press");
    QTest::addColumn<QString>("expected");

    QTest::newRow("default") << KeyPress{28, cmd | shift} << u"⇧⌘8"_s;
    QTest::newRow("all four in fixed order")
        << KeyPress{0, control | option | shift | cmd} << u"⌃⌥⇧⌘A"_s;
    QTest::newRow("no modifiers") << KeyPress{36, 0} << u"⏎"_s;
    QTest::newRow("option space") << KeyPress{49, option} << u"⌥␣"_s;
    QTest::newRow("control key alone") << KeyPress{59, control} << u"⌃"_s;
    QTest::newRow("command key alone") << KeyPress{55, cmd} << u"⌘"_s;
    QTest::newRow("right shift with others") << KeyPress{60, shift | cmd} << u"⇧"_s;
    QTest::newRow("caps lock bit not shown") << KeyPress{keyC, cmd | capsLock} << u"⌘C"_s;
    QTest::newRow("unknown bits not shown") << KeyPress{keyC, 0xFFFF0000u | cmd} << u"⌘C"_s;
    QTest::newRow("caps lock key is not a modifier") << KeyPress{57, cmd} << u"⌘⇪"_s;
    QTest::newRow("function key is not a modifier") << KeyPress{63, control} << u"⌃fn"_s;
    QTest::newRow("function row") << KeyPress{122, shift} << u"⇧F1"_s;
    QTest::newRow("unnamed key") << KeyPress{200, cmd} << u"⌘Key 200"_s;
}

void TestKeySequence::pressDisplay()
{
    QFETCH(KeyPress, press);
    QFETCH(QString, expected);
    QCOMPARE(press.displayString(), expected);
}

void TestKeySequence::sequenceDisplay_data()
{
    QTest::addColumn<KeySequence>("sequence");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("menu");

    QTest::newRow("empty") << KeySequence{} << u"No hotkey set"_s << QString();
    QTest::newRow("default") << KeySequence::defaultSequence() << u"⇧⌘8"_s << u"⇧⌘8"_s;
    QTest::newRow("two presses") << sequence({{keyK, cmd}, {keyC, cmd}}) << u"⌘K → ⌘C"_s
                                 << u"⌘K ⌘C"_s;
    QTest::newRow("three presses")
        << sequence({{keyK, cmd}, {keyK, cmd}, {49, 0}}) << u"⌘K → ⌘K → ␣"_s << u"⌘K ⌘K ␣"_s;
}

void TestKeySequence::sequenceDisplay()
{
    QFETCH(KeySequence, sequence);
    QFETCH(QString, display);
    QFETCH(QString, menu);
    QCOMPARE(sequence.displayString(), display);
    QCOMPARE(sequence.menuDisplayString(), menu);
}

void TestKeySequence::matches_data()
{
    QTest::addColumn<KeySequence>("sequence");
    QTest::addColumn<QList<KeyBufferEntry>>("buffer");
    QTest::addColumn<bool>("expected");

    const KeySequence kc = sequence({{keyK, cmd}, {keyC, cmd}});
    const KeySequence single = sequence({{keyC, cmd}});

    QTest::newRow("single chord") << single << QList<KeyBufferEntry>{{{keyC, cmd}, 1.0}} << true;
    QTest::newRow("empty buffer") << single << QList<KeyBufferEntry>{} << false;
    QTest::newRow("buffer too short") << kc << QList<KeyBufferEntry>{{{keyC, cmd}, 1.0}} << false;
    QTest::newRow("last two of three")
        << kc << QList<KeyBufferEntry>{{{0, 0}, 0.9}, {{keyK, cmd}, 1.0}, {{keyC, cmd}, 1.2}}
        << true;
    QTest::newRow("first two of three")
        << kc << QList<KeyBufferEntry>{{{keyK, cmd}, 1.0}, {{keyC, cmd}, 1.2}, {{0, 0}, 1.3}}
        << false;
    QTest::newRow("old gap outside the window")
        << kc << QList<KeyBufferEntry>{{{0, 0}, 0.0}, {{keyK, cmd}, 10.0}, {{keyC, cmd}, 10.2}}
        << true;
    QTest::newRow("wrong order") << kc
                                 << QList<KeyBufferEntry>{{{keyC, cmd}, 1.0}, {{keyK, cmd}, 1.2}}
                                 << false;
    QTest::newRow("other key") << single << QList<KeyBufferEntry>{{{9, cmd}, 1.0}} << false;
    QTest::newRow("missing modifier") << single << QList<KeyBufferEntry>{{{keyC, 0}, 1.0}} << false;
    QTest::newRow("extra modifier")
        << single << QList<KeyBufferEntry>{{{keyC, cmd | shift}, 1.0}} << false;
    QTest::newRow("stored caps lock ignored")
        << sequence({{keyC, cmd | capsLock}}) << QList<KeyBufferEntry>{{{keyC, cmd}, 1.0}} << true;
    QTest::newRow("typed caps lock ignored")
        << single << QList<KeyBufferEntry>{{{keyC, cmd | capsLock}, 1.0}} << true;
    QTest::newRow("unknown bits ignored")
        << sequence({{keyC, cmd | 0x10000u}}) << QList<KeyBufferEntry>{{{keyC, cmd | 0x1u}, 1.0}}
        << true;
    // Times chosen to be exact in binary: the gap is exactly 0.5.
    QTest::newRow("gap equal to limit")
        << kc << QList<KeyBufferEntry>{{{keyK, cmd}, 100.25}, {{keyC, cmd}, 100.75}} << true;
    QTest::newRow("gap a millisecond longer")
        << kc << QList<KeyBufferEntry>{{{keyK, cmd}, 100.25}, {{keyC, cmd}, 100.751}} << false;
    QTest::newRow("second gap too long")
        << sequence({{keyK, cmd}, {keyK, cmd}, {keyC, cmd}})
        << QList<KeyBufferEntry>{{{keyK, cmd}, 1.0}, {{keyK, cmd}, 1.25}, {{keyC, cmd}, 2.0}}
        << false;
    QTest::newRow("empty sequence never matches")
        << KeySequence{} << QList<KeyBufferEntry>{{{keyC, cmd}, 1.0}} << false;
}

void TestKeySequence::matches()
{
    QFETCH(KeySequence, sequence);
    QFETCH(QList<KeyBufferEntry>, buffer);
    QFETCH(bool, expected);
    QCOMPARE(sequence.matches(buffer), expected);
}

void TestKeySequence::equality_data()
{
    QTest::addColumn<KeySequence>("a");
    QTest::addColumn<KeySequence>("b");
    QTest::addColumn<bool>("equal");

    const KeySequence kc = sequence({{keyK, cmd}, {keyC, cmd}});
    QTest::newRow("same") << kc << sequence({{keyK, cmd}, {keyC, cmd}}) << true;
    QTest::newRow("different time") << kc << sequence({{keyK, cmd}, {keyC, cmd}}, 0.75) << false;
    QTest::newRow("different order") << kc << sequence({{keyC, cmd}, {keyK, cmd}}) << false;
    QTest::newRow("prefix") << kc << sequence({{keyK, cmd}}) << false;
    QTest::newRow("caps lock bit counts")
        << sequence({{keyC, cmd}}) << sequence({{keyC, cmd | capsLock}}) << false;
    QTest::newRow("both empty") << KeySequence{} << KeySequence{} << true;
}

void TestKeySequence::equality()
{
    QFETCH(KeySequence, a);
    QFETCH(KeySequence, b);
    QFETCH(bool, equal);
    QCOMPARE(a == b, equal);
    QCOMPARE(b == a, equal);
}

void TestKeySequence::fromJSONString_data()
{
    QTest::addColumn<QString>("json");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<KeySequence>("expected");

    const auto ok = [](const char* tag, const QString& json, const KeySequence& expected) {
        QTest::newRow(tag) << json << true << expected;
    };
    const auto bad = [](const char* tag, const QString& json) {
        QTest::newRow(tag) << json << false << KeySequence{};
    };
    const auto withCode = [](const QString& keyCode) {
        return uR"({"presses":[{"keyCode":)"_s + keyCode +
               uR"(,"modifiers":256}],"maxTimeBetweenKeys":0.5})"_s;
    };

    ok("command C", uR"({"presses":[{"keyCode":8,"modifiers":256}],"maxTimeBetweenKeys":0.5})"_s,
       sequence({{keyC, cmd}}));
    ok("no presses", uR"({"presses":[],"maxTimeBetweenKeys":0.5})"_s, KeySequence{});
    ok("integral time", uR"({"presses":[],"maxTimeBetweenKeys":1})"_s, sequence({}, 1.0));
    ok("extra keys ignored",
       uR"({"version":2,"presses":[{"keyCode":8,"modifiers":256,"name":"C"}],)"
       uR"("maxTimeBetweenKeys":0.25})"_s,
       sequence({{keyC, cmd}}, 0.25));
    ok("largest values",
       uR"({"presses":[{"keyCode":4294967295,"modifiers":4294967295}],"maxTimeBetweenKeys":0.5})"_s,
       sequence({{4294967295u, 4294967295u}}));
    ok("whole number written with a fraction", withCode(u"8.0"_s), sequence({{keyC, cmd}}));

    bad("missing maxTimeBetweenKeys", uR"({"presses":[{"keyCode":8,"modifiers":256}]})"_s);
    bad("missing presses", uR"({"maxTimeBetweenKeys":0.5})"_s);
    bad("missing keyCode", uR"({"presses":[{"modifiers":256}],"maxTimeBetweenKeys":0.5})"_s);
    bad("missing modifiers", uR"({"presses":[{"keyCode":8}],"maxTimeBetweenKeys":0.5})"_s);
    bad("keyCode string", withCode(u"\"8\""_s));
    bad("keyCode fraction", withCode(u"8.5"_s));
    bad("keyCode negative", withCode(u"-1"_s));
    bad("keyCode 2^32", withCode(u"4294967296"_s));
    bad("keyCode huge", withCode(u"1e300"_s));
    bad("keyCode null", withCode(u"null"_s));
    bad("keyCode boolean", withCode(u"true"_s));
    bad("modifiers 2^32",
        uR"({"presses":[{"keyCode":8,"modifiers":4294967296}],"maxTimeBetweenKeys":0.5})"_s);
    bad("modifiers fraction",
        uR"({"presses":[{"keyCode":8,"modifiers":256.5}],"maxTimeBetweenKeys":0.5})"_s);
    bad("time as string", uR"({"presses":[],"maxTimeBetweenKeys":"0.5"})"_s);
    bad("time null", uR"({"presses":[],"maxTimeBetweenKeys":null})"_s);
    bad("presses object",
        uR"({"presses":{"keyCode":8,"modifiers":256},"maxTimeBetweenKeys":0.5})"_s);
    bad("press not an object", uR"({"presses":[8],"maxTimeBetweenKeys":0.5})"_s);
    bad("one bad press among good ones",
        uR"({"presses":[{"keyCode":8,"modifiers":256},{"keyCode":"x","modifiers":0}],)"
        uR"("maxTimeBetweenKeys":0.5})"_s);
    bad("top-level array", uR"([{"presses":[],"maxTimeBetweenKeys":0.5}])"_s);
    bad("empty text", QString());
    bad("null", u"null"_s);
    bad("truncated", uR"({"presses":[],"maxTimeBetweenKeys":0.5)"_s);
    bad("trailing garbage", uR"({"presses":[],"maxTimeBetweenKeys":0.5} x)"_s);
    bad("legacy number", u"28"_s);
}

void TestKeySequence::fromJSONString()
{
    QFETCH(QString, json);
    QFETCH(bool, valid);
    QFETCH(KeySequence, expected);

    const std::optional<KeySequence> decoded = KeySequence::fromJSONString(json);
    QCOMPARE(decoded.has_value(), valid);
    if (decoded) {
        QCOMPARE(*decoded, expected);
    }
}

void TestKeySequence::toJSONString_data()
{
    QTest::addColumn<KeySequence>("sequence");

    QTest::newRow("default") << KeySequence::defaultSequence();
    QTest::newRow("empty") << KeySequence{};
    QTest::newRow("two presses, other time") << sequence({{keyK, cmd}, {keyC, cmd}}, 0.8);
    QTest::newRow("all bits") << sequence({{4294967295u, 4294967295u}}, 0.1);
}

void TestKeySequence::toJSONString()
{
    QFETCH(KeySequence, sequence);

    const std::optional<QString> json = sequence.toJSONString();
    QVERIFY(json);
    // Pretty-printed: one member per line.
    QVERIFY(json->contains(u"\n    \"maxTimeBetweenKeys\""_s));
    const QJsonObject object = QJsonDocument::fromJson(json->toUtf8()).object();
    QCOMPARE(object.value(u"presses"_s).toArray().size(), sequence.presses.size());
    QCOMPARE(object.value(u"maxTimeBetweenKeys"_s).toDouble(), sequence.maxTimeBetweenKeys);
    // Key codes are written as integers, not as 2.8e1 or 28.0.
    for (const KeyPress& press : sequence.presses) {
        QVERIFY(json->contains(u"\"keyCode\": "_s + QString::number(press.keyCode) + u','));
    }
    const std::optional<KeySequence> decoded = KeySequence::fromJSONString(*json);
    QVERIFY(decoded);
    QCOMPARE(*decoded, sequence);
}

void TestKeySequence::unwritableTime()
{
    QVERIFY(!sequence({{keyC, cmd}}, std::numeric_limits<double>::quiet_NaN()).toJSONString());
    QVERIFY(!sequence({{keyC, cmd}}, std::numeric_limits<double>::infinity()).toJSONString());
}

void TestKeySequence::defaultSequence()
{
    const KeySequence d = KeySequence::defaultSequence();
    QCOMPARE(d.presses.size(), 1);
    QCOMPARE(d.presses.first().keyCode, 28u);
    QCOMPARE(d.presses.first().modifiers, 768u);
    QCOMPARE(d.maxTimeBetweenKeys, 0.5);
    QCOMPARE(defaultKeySequence(), d);
    QCOMPARE(u"Capture Screenshot ("_s + d.menuDisplayString() + u')',
             u"Capture Screenshot (⇧⌘8)"_s);
}

QTEST_APPLESS_MAIN(TestKeySequence)
#include "tst_keysequence.moc"
