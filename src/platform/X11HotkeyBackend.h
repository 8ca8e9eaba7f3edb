#pragma once

#include "hotkeys/HotkeyBackend.h"

#include <QList>

#include <array>
#include <bitset>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;
struct _XCBKeySymbols;

// Global key sequences on X11, over a connection of its own to the display:
// one chord through passive key grabs on the root window (one per Caps Lock,
// Num Lock and Mod5 state, so that those do not matter), every key press
// through XInput2 raw events (seen, never taken from the window they go to),
// and changes of _NET_ACTIVE_WINDOW as the activation of another application.
// Key codes are translated by position: X keycode = evdev code + 8.
class X11HotkeyBackend : public HotkeyBackend
{
    Q_OBJECT
public:
    // Connects to displayName (null: $DISPLAY).
    explicit X11HotkeyBackend(const char* displayName = nullptr, QObject* parent = nullptr);
    ~X11HotkeyBackend() override;

    bool isConnected() const { return m_connection != nullptr; }

    Expected<void, HotkeyError> grabChord(const KeyPress& chord) override;
    void ungrabChord() override;
    Expected<void, HotkeyError> startObserving() override;
    void stopObserving() override;
    std::optional<QString> keyName(quint32 keyCode) const override;

private:
    struct Grab
    {
        KeyPress chord;
        quint8 keycode = 0;
        quint16 modifiers = 0;
        QList<quint16> variants;
    };

    void readEvents();
    void readEventsLater();
    void handleEvent(const void* event);
    void handleRawKey(quint32 keycode, bool press, quint32 time);
    void handleGrabbedKey(quint8 keycode, quint16 state, quint32 time, bool press);
    void loadModifierMap();
    QList<quint16> lockVariants(quint16 modifiers) const;
    quint32 heldModifiers() const;
    double seconds(quint32 serverTime);

    xcb_connection_t* m_connection = nullptr;
    _XCBKeySymbols* m_symbols = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    quint32 m_root = 0;
    quint32 m_activeWindowAtom = 0;
    quint8 m_xiOpcode = 0;
    bool m_hasRawEvents = false;
    bool m_observing = false;
    quint16 m_numLockMask = 0;
    std::optional<Grab> m_grab;
    // The last release of the grabbed key: X repeats a held key as a release
    // and a press with the same time.
    quint32 m_lastReleaseTime = 0;

    // Per X keycode: its virtual code, and the modifier bit the server's
    // modifier map gives it.
    std::array<quint32, 256> m_virtualCodes{};
    std::array<quint32, 256> m_modifierBits{};
    std::bitset<256> m_inModifierMap;
    QList<quint8> m_modifierKeycodes;
    std::bitset<256> m_down;

    // Server time is milliseconds in 32 bits; it wraps after 49 days.
    quint32 m_lastTime = 0;
    qint64 m_timeEpoch = 0;
};
