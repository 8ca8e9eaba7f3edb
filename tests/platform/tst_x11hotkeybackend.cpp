// Global key sequences against the real X server of the test harness, with
// real key events from xdotool (XTEST).
#include "hotkeys/HotkeyManager.h"
#include "platform/X11HotkeyBackend.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(KeySequence)

namespace {

constexpr quint32 cmd = CarbonModifier::Command;
constexpr quint32 shift = CarbonModifier::Shift;
const KeySequence cmdKcmdC{{{40, cmd}, {8, cmd}}, 0.5};

bool xdotool(const QString& commands)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), commands.split(u' '));
    return p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Another client of the display.
struct OtherClient
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    ~OtherClient() { xcb_disconnect(c); }
    bool grab(quint16 modifiers, quint8 keycode)
    {
        xcb_generic_error_t* e =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, root, modifiers, keycode,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(e);
        return !e;
    }
};

} // namespace

class TestX11HotkeyBackend : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void typedKeys_data();
    void typedKeys();
    void chordHeldByAnotherClient();
    void keysStillReachTheFocusedWindow();
    void activationOfAnotherWindow();
    void keyNamesFollowTheLayout();

private:
    X11HotkeyBackend m_backend;
    HotkeyManager m_manager;
};

void TestX11HotkeyBackend::initTestCase()
{
    QVERIFY(m_backend.isConnected());
    m_manager.setBackend(&m_backend);
}

void TestX11HotkeyBackend::typedKeys_data()
{
    QTest::addColumn<KeySequence>("sequence");
    QTest::addColumn<QString>("keys"); // xdotool commands
    QTest::addColumn<int>("fired");

    const KeySequence chord = KeySequence::defaultSequence();
    QTest::newRow("Shift+Super+8") << chord << u"key super+shift+8"_s << 1;
    QTest::newRow("twice") << chord << u"key super+shift+8 key super+shift+8"_s << 2;
    QTest::newRow("Num Lock on") << chord << u"key Num_Lock key super+shift+8 key Num_Lock"_s << 1;
    QTest::newRow("Caps Lock on") << chord << u"key Caps_Lock key super+shift+8 key Caps_Lock"_s
                                  << 1;
    QTest::newRow("held while the key repeats")
        << chord << u"keydown super+shift+8 sleep 1.5 keyup super+shift+8"_s << 1;
    QTest::newRow("without Shift") << chord << u"key super+8"_s << 0;
    QTest::newRow("with Ctrl too") << chord << u"key ctrl+super+shift+8"_s << 0;
    QTest::newRow("Super+K then Super+C") << cmdKcmdC << u"key super+k key super+c"_s << 1;
    QTest::newRow("Super held through both")
        << cmdKcmdC << u"keydown super key k key c keyup super"_s << 1;
    QTest::newRow("Num Lock on, two chords")
        << cmdKcmdC << u"key Num_Lock key super+k key super+c key Num_Lock"_s << 1;
    QTest::newRow("1.2 s apart") << cmdKcmdC << u"key super+k sleep 1.2 key super+c"_s << 0;
    QTest::newRow("another key between")
        << cmdKcmdC << u"key super+k key super+x key super+c"_s << 0;
    QTest::newRow("Super+K, then Shift alone")
        << KeySequence{{{40, cmd}, {56, shift}}, 0.5} << u"key super+k key Shift_L"_s << 1;
}

void TestX11HotkeyBackend::typedKeys()
{
    QFETCH(KeySequence, sequence);
    QFETCH(QString, keys);
    QFETCH(int, fired);
    int calls = 0;
    QVERIFY(m_manager.registerSequence(sequence, [&calls] { ++calls; }));
    QVERIFY(xdotool(keys));
    QTRY_COMPARE(calls, fired);
    QTest::qWait(300);
    QCOMPARE(calls, fired);
    m_manager.unregister();
    // Released: the chord does nothing any more.
    QVERIFY(xdotool(u"key super+shift+8 key super+k key super+c"_s));
    QTest::qWait(300);
    QCOMPARE(calls, fired);
}

void TestX11HotkeyBackend::chordHeldByAnotherClient()
{
    constexpr quint8 key8 = 9 + 8; // evdev KEY_8, as an X keycode
    {
        OtherClient other;
        QVERIFY(other.grab(XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4, key8));
        const auto result = m_manager.registerSequence(KeySequence::defaultSequence(), [] {});
        QVERIFY(!result);
        QCOMPARE(result.error(), HotkeyError::taken);
        QVERIFY(!m_manager.isWatching());
        // Nothing of ours is left behind: the other client could grab the
        // Num Lock variant too.
        QVERIFY(other.grab(XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4 | XCB_MOD_MASK_2, key8));
    }
    // Once the other client is gone, the chord is ours.
    int calls = 0;
    QVERIFY(m_manager.registerSequence(KeySequence::defaultSequence(), [&calls] { ++calls; }));
    QVERIFY(xdotool(u"key super+shift+8"_s));
    QTRY_COMPARE(calls, 1);
    // And now another client is refused.
    OtherClient late;
    QVERIFY(!late.grab(XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4, key8));
    m_manager.unregister();
}

void TestX11HotkeyBackend::keysStillReachTheFocusedWindow()
{
    QLineEdit edit;
    edit.setGeometry(100, 100, 300, 40);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(xdotool(u"windowfocus --sync "_s + QString::number(edit.winId())));
    QTRY_VERIFY(edit.hasFocus());
    int calls = 0;
    QVERIFY(m_manager.registerSequence(KeySequence{{{40, 0}, {8, 0}}, 0.5}, [&] { ++calls; }));
    QVERIFY(xdotool(u"key k c"_s));
    QTRY_COMPARE(calls, 1);
    QTRY_COMPARE(edit.text(), u"kc"_s);
    m_manager.unregister();
}

void TestX11HotkeyBackend::activationOfAnotherWindow()
{
    QSignalSpy activated(&m_manager, &HotkeyManager::applicationActivated);
    OtherClient wm;
    static const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(wm.c, xcb_intern_atom(wm.c, 0, sizeof name - 1, name), nullptr);
    QVERIFY(atom);
    const quint32 window = 0x123;
    xcb_change_property(wm.c, XCB_PROP_MODE_REPLACE, wm.root, atom->atom, XCB_ATOM_WINDOW, 32, 1,
                        &window);
    std::free(atom);
    xcb_flush(wm.c);
    QTRY_COMPARE(activated.count(), 1);
}

void TestX11HotkeyBackend::keyNamesFollowTheLayout()
{
    QCOMPARE(m_backend.keyName(6), std::optional(u"Z"_s));
    QVERIFY(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("de")}) == 0);
    const auto restore =
        qScopeGuard([] { QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); });
    // The key where "Z" is on the US layout says "Y" on the German one.
    QTRY_COMPARE(m_backend.keyName(6), std::optional(u"Y"_s));
    QCOMPARE(m_backend.keyName(28), std::optional(u"8"_s));
    QCOMPARE(m_backend.keyName(41), std::optional(u"Ö"_s));
    // Keys without a character keep the built-in names.
    QCOMPARE(m_backend.keyName(36), std::nullopt);
    QCOMPARE(m_backend.keyName(55), std::nullopt);
    QCOMPARE(m_backend.keyName(200), std::nullopt);
    // The chord still means the same physical keys.
    int calls = 0;
    QVERIFY(m_manager.registerSequence(KeySequence{{{6, cmd}}, 0.5}, [&] { ++calls; }));
    QVERIFY(xdotool(u"key super+y"_s));
    QTRY_COMPARE(calls, 1);
    m_manager.unregister();
}

QTEST_MAIN(TestX11HotkeyBackend)
#include "tst_x11hotkeybackend.moc"
