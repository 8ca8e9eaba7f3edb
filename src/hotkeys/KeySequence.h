#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <optional>

// Key codes and modifier bits keep a fixed numbering (virtual key codes 0-127
// for the physical keys of the ANSI layout, and four modifier bits), so that
// a stored sequence means the same on every machine; the platform backends
// translate. Command is the Super key, Option is Alt.
namespace CarbonModifier {
inline constexpr quint32 Command = 0x100;
inline constexpr quint32 Shift = 0x200;
inline constexpr quint32 CapsLock = 0x400;
inline constexpr quint32 Option = 0x800;
inline constexpr quint32 Control = 0x1000;
// The bits that take part in matching and registration.
inline constexpr quint32 Mask = Command | Shift | Option | Control;
} // namespace CarbonModifier

// Right Command, Command, Shift, Option, Control, right Shift, right Option,
// right Control. Caps Lock (57) and Function (63) are not modifiers here.
inline constexpr std::array<quint32, 8> modifierKeyCodes{54, 55, 56, 58, 59, 60, 61, 62};

bool isModifierKeyCode(quint32 keyCode);

// The display name of a key ("A", "Return", "F5", "Keypad 1"); "Key 127" for
// a code without a name. Asks the key name provider first.
QString keyName(quint32 keyCode);
// The name of the key on the layout the key codes are named after; empty
// for a code without a name. Never asks the key name provider.
QString builtinKeyName(quint32 keyCode);

// Names a key as the user's keyboard layout prints it (on a German layout the
// key at the position of "Z" shows "Y"), or nullopt for the built-in name.
// Installed by the platform's hotkey backend; main thread only.
using KeyNameProvider = std::function<std::optional<QString>(quint32 keyCode)>;
void setKeyNameProvider(KeyNameProvider provider);

// One chord: a key with the modifiers held.
struct KeyPress
{
    quint32 keyCode = 0;
    quint32 modifiers = 0; // Carbon modifier bits; unknown bits are kept

    // The modifiers held as "Ctrl+Alt+Shift+Super+", then the key name
    // ("Shift+Super+8"); a modifier key alone shows just its own name.
    QString displayString() const;

    friend bool operator==(const KeyPress&, const KeyPress&) = default;
};

// A chord as the hotkey manager saw it, with the wall-clock time in seconds.
struct KeyBufferEntry
{
    KeyPress press;
    double time = 0;
};

// The binding of the capture command: one chord, or chords typed in turn.
struct KeySequence
{
    QList<KeyPress> presses;         // empty: no binding
    double maxTimeBetweenKeys = 0.5; // seconds

    // True when the newest entries of buffer (oldest first) complete the
    // sequence. An empty sequence never matches.
    bool matches(const QList<KeyBufferEntry>& buffer) const;

    // "No hotkey set", or the presses joined by " → ".
    QString displayString() const;
    // For the menu item title: empty, or the presses joined by a space.
    QString menuDisplayString() const;

    // The stored form: a pretty-printed JSON object with "presses" (each with
    // "keyCode" and "modifiers") and "maxTimeBetweenKeys". nullopt when the
    // sequence cannot be written (a time that is not a finite number).
    std::optional<QString> toJSONString() const;
    // nullopt unless text is such an object: both keys at both levels, codes
    // and masks integers in 0..4294967295, the time a number. Other keys are
    // ignored.
    static std::optional<KeySequence> fromJSONString(const QString& text);

    // Super+Shift+8, shown as "Shift+Super+8".
    static KeySequence defaultSequence();

    friend bool operator==(const KeySequence&, const KeySequence&) = default;
};
