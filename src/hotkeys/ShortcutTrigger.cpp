#include "hotkeys/ShortcutTrigger.h"

#include "hotkeys/KeyCodeMap.h"

#include <QHash>

namespace ShortcutTrigger {

std::optional<QString> keysym(quint32 keyCode)
{
    if (KeyCodeMap::modifierOfKey(keyCode) != 0 || KeyCodeMap::isLockKey(keyCode)) {
        return std::nullopt;
    }
    // The built-in key names that are not keysym names already.
    static const QHash<QString, QString> renamed{
        {QStringLiteral("§"), QStringLiteral("section")},
        {QStringLiteral("="), QStringLiteral("equal")},
        {QStringLiteral("-"), QStringLiteral("minus")},
        {QStringLiteral("]"), QStringLiteral("bracketright")},
        {QStringLiteral("["), QStringLiteral("bracketleft")},
        {QStringLiteral("'"), QStringLiteral("apostrophe")},
        {QStringLiteral(";"), QStringLiteral("semicolon")},
        {QStringLiteral("\\"), QStringLiteral("backslash")},
        {QStringLiteral(","), QStringLiteral("comma")},
        {QStringLiteral("/"), QStringLiteral("slash")},
        {QStringLiteral("."), QStringLiteral("period")},
        {QStringLiteral("`"), QStringLiteral("grave")},
        {QStringLiteral("Space"), QStringLiteral("space")},
        {QStringLiteral("Backspace"), QStringLiteral("BackSpace")},
        {QStringLiteral("Esc"), QStringLiteral("Escape")},
        {QStringLiteral("Scroll Lock"), QStringLiteral("Scroll_Lock")},
        {QStringLiteral("PgUp"), QStringLiteral("Prior")},
        {QStringLiteral("PgDown"), QStringLiteral("Next")},
        {QStringLiteral("Del"), QStringLiteral("Delete")},
        {QStringLiteral("Keypad ."), QStringLiteral("KP_Decimal")},
        {QStringLiteral("Keypad *"), QStringLiteral("KP_Multiply")},
        {QStringLiteral("Keypad +"), QStringLiteral("KP_Add")},
        {QStringLiteral("Keypad /"), QStringLiteral("KP_Divide")},
        {QStringLiteral("Keypad Enter"), QStringLiteral("KP_Enter")},
        {QStringLiteral("Keypad -"), QStringLiteral("KP_Subtract")},
        {QStringLiteral("Keypad ="), QStringLiteral("KP_Equal")},
        {QStringLiteral("Fn"), QString()},
    };
    // The built-in name, not the user's layout: a position is what counts.
    QString name = builtinKeyName(keyCode);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    if (const auto it = renamed.constFind(name); it != renamed.constEnd()) {
        name = *it;
    } else if (name.startsWith(QLatin1String("Keypad "))) {
        name = QStringLiteral("KP_") + name.mid(7);
    } else if (name.size() == 1 && name.at(0).isLetter()) {
        name = name.toLower();
    }
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

std::optional<QString> format(const KeyPress& chord, Style style)
{
    const std::optional<QString> key = keysym(chord.keyCode);
    if (!key) {
        return std::nullopt;
    }
    struct Names
    {
        const char* control;
        const char* alt;
        const char* shift;
        const char* super;
        const char* joint; // between modifiers, and before the key
        bool superFirst;
    };
    static const Names xdg{"CTRL", "ALT", "SHIFT", "LOGO", "+", false};
    static const Names gnome{"<Control>", "<Alt>", "<Shift>", "<Super>", "", false};
    static const Names sway{"Ctrl", "Mod1", "Shift", "Mod4", "+", true};
    const Names& n = style == Style::xdg ? xdg : style == Style::gnome ? gnome : sway;
    QStringList parts;
    const quint32 m = chord.modifiers;
    if (n.superFirst && (m & CarbonModifier::Command)) {
        parts << QLatin1String(n.super);
    }
    if (m & CarbonModifier::Control) {
        parts << QLatin1String(n.control);
    }
    if (m & CarbonModifier::Option) {
        parts << QLatin1String(n.alt);
    }
    if (m & CarbonModifier::Shift) {
        parts << QLatin1String(n.shift);
    }
    if (!n.superFirst && (m & CarbonModifier::Command)) {
        parts << QLatin1String(n.super);
    }
    parts << *key;
    return parts.join(QLatin1String(n.joint));
}

} // namespace ShortcutTrigger
