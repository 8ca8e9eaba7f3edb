#pragma once

#include "hotkeys/KeySequence.h"

#include <QString>

#include <optional>

// One chord written the way a desktop's shortcut settings take it. The key
// is named by the keysym the US layout puts on its position, as shortcut
// settings expect ("8", "a", "Return", "KP_1"); desktops match such
// bindings by key position, so Shift+8 is "8" with Shift, not "asterisk".
namespace ShortcutTrigger {

enum class Style {
    xdg,   // the portal's GlobalShortcuts: "SHIFT+LOGO+8"
    gnome, // GNOME's keybindings: "<Shift><Super>8"
    sway,  // a sway bindsym: "Mod4+Shift+8"
};

// The keysym name of a key position; nullopt for modifiers, lock keys and
// positions without a name.
std::optional<QString> keysym(quint32 keyCode);

// The chord in a style; nullopt when its key has no keysym name.
std::optional<QString> format(const KeyPress& chord, Style style);

} // namespace ShortcutTrigger
