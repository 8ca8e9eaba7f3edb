#pragma once

#include <QtGlobal>

#include <optional>

// Virtual key codes name physical key positions; Linux input devices number
// the same positions with evdev codes (X11 keycodes and Wayland key events are
// evdev codes plus 8). The two numberings are fixed, so the map is a table.
namespace KeyCodeMap {

// The evdev code of the key at a virtual code's position, if the keyboards
// Linux knows have one there.
std::optional<quint32> evdevCode(quint32 virtualKeyCode);
// The virtual code of an evdev key, if the key has one.
std::optional<quint32> virtualKeyCode(quint32 evdevCode);

// X11 and Wayland key codes are evdev codes shifted by 8.
inline constexpr quint32 evdevOffset = 8;

// The core modifier state of X11 and XKB (Shift 0x1, Control 0x4, Mod1 0x8
// for Alt, Mod4 0x40 for Super) as modifier bits of KeyPress, and back. Lock
// bits (Caps Lock, Num Lock) and Mod5 have no counterpart and are dropped.
quint32 modifiersFromXkbState(quint32 state);
quint32 xkbStateFromModifiers(quint32 modifiers);

// The modifier bit a modifier key sets (Shift for either Shift key), or 0.
quint32 modifierOfKey(quint32 virtualKeyCode);
// Caps Lock and Num Lock: they change the keyboard's state, never a chord.
bool isLockKey(quint32 virtualKeyCode);

} // namespace KeyCodeMap
