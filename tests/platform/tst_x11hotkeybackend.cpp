// Global key sequences against the real X server of the test harness, with
// real key events from xdotool (XTEST) and other clients on their own
// connections.
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

constexpr quint32 cmd = CarbonModifier::Command, shift = CarbonModifier::Shift;
const KeySequence kc{{{40, cmd}, {8, cmd}}, 0.5};
constexpr quint8 key8 = 9 + 8; // evdev KEY_8 as an X keycode
constexpr quint16 shiftSuper = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4;

bool xdotool(const QString& commands)
{
    return QProcess::execute(u"xdotool"_s, commands.split(u' ')) == 0;
}

// Another client of the display.
struct OtherClient
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    ~OtherClient() { xcb_disconnect(c); }
    bool check(xcb_void_cookie_t cookie)
    {
        xcb_generic_error_t* e = xcb_request_check(c, cookie);
        std::free(e);
        return !e;
    }
    bool grab(quint16 modifiers)
    {
        return check(xcb_grab_key_checked(c, 1, root, modifiers, key8, XCB_GRAB_MODE_ASYNC,
                                          XCB_GRAB_MODE_ASYNC));
    }
};

} // namespace

class TestX11HotkeyBackend : public QObject
{
    Q_OBJECT

private:
    X11HotkeyBackend m_backend;
    HotkeyManager m_manager;
    QLineEdit m_focused; // where typed keys go

private slots:
    void initTestCase()
    {
        m_manager.setBackend(&m_backend);
        m_focused.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_focused));
        QVERIFY(xdotool(u"windowfocus --sync "_s + QString::number(m_focused.winId())));
    }

    void typedKeys_data()
    {
        QTest::addColumn<KeySequence>("sequence");
        QTest::addColumn<QString>("keys"); // xdotool commands
        QTest::addColumn<int>("fired");
        QTest::addColumn<QString>("reached"); // the text the focused window got
        const auto row = [](const KeySequence& s, const char* keys, int fired,
                            const char* reached) {
            QTest::newRow(keys) << s << QString::fromUtf8(keys) << fired
                                << QString::fromUtf8(reached);
        };
        const KeySequence chord = KeySequence::defaultSequence();
        row(chord, "key super+shift+8", 1, ""); // the grab takes the chord
        row(chord, "key Num_Lock key super+shift+8 key Num_Lock", 1, "");
        row(chord, "key Caps_Lock key super+shift+8 key Caps_Lock", 1, "");
        row(chord, "keydown super+shift+8 sleep 1.5 keyup super+shift+8", 1, ""); // key repeats
        row(chord, "key super+8", 0, "8");
        // Sequences are only observed: every key reaches the window.
        row(kc, "key super+k key super+c", 1, "kc");
        row(kc, "keydown super key k key c keyup super", 1, "kc");
        row(kc, "key super+k sleep 1.2 key super+c", 0, "kc");
        row(KeySequence{{{40, cmd}, {56, shift}}, 0.5}, "key super+k key Shift_L", 1, "k");
    }

    void typedKeys()
    {
        QFETCH(KeySequence, sequence);
        QFETCH(QString, keys);
        QFETCH(int, fired);
        QFETCH(QString, reached);
        m_focused.clear();
        int calls = 0;
        QVERIFY(m_manager.registerSequence(sequence, [&calls] { ++calls; }));
        QVERIFY(xdotool(keys));
        QTest::qWait(300);
        QCOMPARE(calls, fired);
        QCOMPARE(m_focused.text(), reached);
        m_manager.unregister();
    }

    void otherClients()
    {
        {
            OtherClient other;
            QVERIFY(other.grab(shiftSuper));
            const auto refused = m_manager.registerSequence(KeySequence::defaultSequence(), [] {});
            QVERIFY(!refused && refused.error() == HotkeyError::taken);
            // None of the lock variants stays ours.
            QVERIFY(other.grab(shiftSuper | XCB_MOD_MASK_2) &&
                    other.grab(shiftSuper | XCB_MOD_MASK_LOCK));
        }
        // Once the other client is gone the chord is ours, also with Num Lock on.
        QVERIFY(m_manager.registerSequence(KeySequence::defaultSequence(), [] {}));
        OtherClient late;
        QVERIFY(!late.grab(shiftSuper | XCB_MOD_MASK_2));
        m_manager.unregister(); // and released
        QVERIFY(late.grab(shiftSuper | XCB_MOD_MASK_2));

        // A window manager activating a window.
        QSignalSpy activated(&m_manager, &HotkeyManager::applicationActivated);
        static const char name[] = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            late.c, xcb_intern_atom(late.c, 0, sizeof name - 1, name), nullptr);
        QVERIFY(atom && late.check(xcb_change_property_checked(
                            late.c, XCB_PROP_MODE_REPLACE, late.root, atom->atom, XCB_ATOM_WINDOW,
                            32, 1, &late.root)));
        std::free(atom);
        QTRY_COMPARE(activated.count(), 1);
    }

    void keyNamesFollowTheLayout()
    {
        QCOMPARE(m_backend.keyName(6).value_or(QString()), u"Z"_s);
        QCOMPARE(QProcess::execute(u"setxkbmap"_s, {u"de"_s}), 0);
        const auto restore = qScopeGuard([] { QProcess::execute(u"setxkbmap"_s, {u"us"_s}); });
        // The key where the US layout has Z says Y on the German one.
        QTRY_COMPARE(m_backend.keyName(6).value_or(QString()), u"Y"_s);
        QCOMPARE(m_backend.keyName(41).value_or(QString()), u"Ö"_s);
        // Keys without a character keep the built-in names.
        QVERIFY(!m_backend.keyName(36) && !m_backend.keyName(55) && !m_backend.keyName(200));
        // The chord still means the same physical keys.
        int calls = 0;
        QVERIFY(m_manager.registerSequence(KeySequence{{{6, cmd}}, 0.5}, [&] { ++calls; }));
        QVERIFY(xdotool(u"key super+y"_s));
        QTRY_COMPARE(calls, 1);
        m_manager.unregister();
    }
};

QTEST_MAIN(TestX11HotkeyBackend)
#include "tst_x11hotkeybackend.moc"
