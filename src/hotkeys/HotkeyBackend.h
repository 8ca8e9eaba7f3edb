#pragma once

#include "common/Expected.h"
#include "hotkeys/KeySequence.h"

#include <QObject>

#include <optional>

// Why a key sequence cannot be watched.
enum class HotkeyError {
    emptySequence, // nothing to watch
    taken,         // another program holds the chord
    unsupported,   // this session or this key cannot be watched
    modifierAlone, // a modifier key alone before other chords, or as the only one
};

// Watches the keyboard of the whole desktop for the hotkey manager: one
// chord made global, or every key press observed. Key codes and modifiers are
// the fixed numbering of KeyPress; backends translate. One backend per
// session type lives in src/platform/. Main thread only; signals arrive there.
class HotkeyBackend : public QObject
{
    Q_OBJECT
public:
    // keyDown: a key other than a modifier went down. flagsChanged: a
    // modifier, Caps Lock or Num Lock went down or up.
    enum class EventType { keyDown, flagsChanged };
    Q_ENUM(EventType)

    using QObject::QObject;

    // Makes one chord (its key code and the four modifier bits) global, in
    // place of any chord grabbed before. The other modifier bits of the
    // keyboard (Caps Lock, Num Lock) do not matter when it is pressed.
    virtual Expected<void, HotkeyError> grabChord(const KeyPress& chord) = 0;
    virtual void ungrabChord() = 0;
    // Reports every key press and modifier change of the desktop through
    // keyEvent, without taking the keys from the windows they go to.
    virtual Expected<void, HotkeyError> startObserving() = 0;
    virtual void stopObserving() = 0;

    // The key's name on the user's layout, or nullopt for the built-in name.
    virtual std::optional<QString> keyName(quint32 keyCode) const
    {
        Q_UNUSED(keyCode);
        return std::nullopt;
    }

signals:
    // The grabbed chord was pressed (once per press, not for key repeats).
    void chordPressed();
    // modifiers: the modifier bits held after the event. time: when the event
    // happened, in seconds on the event source's own clock.
    void keyEvent(HotkeyBackend::EventType type, quint32 keyCode, quint32 modifiers, double time);
    // A grab or observation granted earlier was refused or lost (backends that
    // learn the answer later, or lose their connection).
    void refused(HotkeyError error);
    // Another application became active: the moment to try a refused
    // registration again.
    void applicationActivated();
};
