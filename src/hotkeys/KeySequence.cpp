#include "KeySequence.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

struct KeyNameEntry
{
    quint32 keyCode;
    const char16_t* name;
};

// Virtual key codes are physical key positions of the ANSI layout; the names
// are what that layout prints on the keys, in the desktop's own words (a PC
// keyboard's Print, Scroll Lock, Pause, Insert and Num Lock sit where the
// codes 105, 107, 113, 114 and 71 are). The letters and digits follow the
// physical keys, hence the irregular order.
// clang-format off
constexpr KeyNameEntry keyNames[] = {
    {0, u"A"},          {1, u"S"},
    {2, u"D"},          {3, u"F"},
    {4, u"H"},          {5, u"G"},
    {6, u"Z"},          {7, u"X"},
    {8, u"C"},          {9, u"V"},
    {10, u"§"},         {11, u"B"},
    {12, u"Q"},         {13, u"W"},
    {14, u"E"},         {15, u"R"},
    {16, u"Y"},         {17, u"T"},
    {18, u"1"},         {19, u"2"},
    {20, u"3"},         {21, u"4"},
    {22, u"6"},         {23, u"5"},
    {24, u"="},         {25, u"9"},
    {26, u"7"},         {27, u"-"},
    {28, u"8"},         {29, u"0"},
    {30, u"]"},         {31, u"O"},
    {32, u"U"},         {33, u"["},
    {34, u"I"},         {35, u"P"},
    {36, u"Return"},    {37, u"L"},
    {38, u"J"},         {39, u"'"},
    {40, u"K"},         {41, u";"},
    {42, u"\\"},        {43, u","},
    {44, u"/"},         {45, u"N"},
    {46, u"M"},         {47, u"."},
    {48, u"Tab"},       {49, u"Space"},
    {50, u"`"},         {51, u"Backspace"},
    {53, u"Esc"},       {54, u"Super"}, // right Super
    {55, u"Super"},     {56, u"Shift"},
    {57, u"Caps Lock"}, {58, u"Alt"},
    {59, u"Ctrl"},      {60, u"Shift"}, // right Shift
    {61, u"Alt"},                       // right Alt
    {62, u"Ctrl"},                      // right Ctrl
    {63, u"Fn"},        {64, u"F17"},
    {65, u"Keypad ."},  {67, u"Keypad *"},
    {69, u"Keypad +"},  {71, u"Num Lock"},
    {75, u"Keypad /"},  {76, u"Keypad Enter"},
    {78, u"Keypad -"},  {79, u"F18"},
    {80, u"F19"},       {81, u"Keypad ="},
    {82, u"Keypad 0"},  {83, u"Keypad 1"},
    {84, u"Keypad 2"},  {85, u"Keypad 3"},
    {86, u"Keypad 4"},  {87, u"Keypad 5"},
    {88, u"Keypad 6"},  {89, u"Keypad 7"},
    {90, u"F20"},       {91, u"Keypad 8"},
    {92, u"Keypad 9"},  {96, u"F5"},
    {97, u"F6"},        {98, u"F7"},
    {99, u"F3"},        {100, u"F8"},
    {101, u"F9"},       {103, u"F11"},
    {105, u"Print"},    {106, u"F16"},
    {107, u"Scroll Lock"}, {109, u"F10"},
    {110, u"Menu"},     {111, u"F12"},
    {113, u"Pause"},    {114, u"Insert"},
    {115, u"Home"},     {116, u"PgUp"},
    {117, u"Del"},      {118, u"F4"},
    {119, u"End"},      {120, u"F2"},
    {121, u"PgDown"},   {122, u"F1"},
    {123, u"Left"},     {124, u"Right"},
    {125, u"Down"},     {126, u"Up"},
};
// clang-format on

KeyNameProvider& keyNameProvider()
{
    static KeyNameProvider provider;
    return provider;
}

const QString presses = QStringLiteral("presses");
const QString keyCodeKey = QStringLiteral("keyCode");
const QString modifiersKey = QStringLiteral("modifiers");
const QString maxTimeKey = QStringLiteral("maxTimeBetweenKeys");

// A JSON number that is a whole number in the unsigned 32-bit range. JSON
// does not tell 28 from 28.0; both are the integer 28.
std::optional<quint32> uint32Value(const QJsonValue& value)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!(number >= 0.0 && number <= 4294967295.0) || std::trunc(number) != number) {
        return std::nullopt;
    }
    return static_cast<quint32>(number);
}

std::optional<KeyPress> pressFromJson(const QJsonValue& value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const auto keyCode = uint32Value(object.value(keyCodeKey));
    const auto modifiers = uint32Value(object.value(modifiersKey));
    if (!keyCode || !modifiers) {
        return std::nullopt;
    }
    return KeyPress{*keyCode, *modifiers};
}

} // namespace

bool isModifierKeyCode(quint32 keyCode)
{
    return std::find(modifierKeyCodes.begin(), modifierKeyCodes.end(), keyCode) !=
           modifierKeyCodes.end();
}

void setKeyNameProvider(KeyNameProvider provider)
{
    keyNameProvider() = std::move(provider);
}

QString keyName(quint32 keyCode)
{
    if (const KeyNameProvider& provider = keyNameProvider()) {
        if (std::optional<QString> name = provider(keyCode)) {
            return *name;
        }
    }
    const QString builtin = builtinKeyName(keyCode);
    return !builtin.isEmpty() ? builtin
                              : QCoreApplication::translate("KeySequence", "Key %1").arg(keyCode);
}

QString builtinKeyName(quint32 keyCode)
{
    const auto it = std::find_if(std::begin(keyNames), std::end(keyNames),
                                 [keyCode](const KeyNameEntry& e) { return e.keyCode == keyCode; });
    return it != std::end(keyNames) ? QString::fromUtf16(it->name) : QString();
}

QString KeyPress::displayString() const
{
    if (isModifierKeyCode(keyCode)) {
        return keyName(keyCode);
    }
    // The order desktops use: Ctrl+Alt+Shift+Super+key.
    QString text;
    if (modifiers & CarbonModifier::Control) {
        text += QStringLiteral("Ctrl+");
    }
    if (modifiers & CarbonModifier::Option) {
        text += QStringLiteral("Alt+");
    }
    if (modifiers & CarbonModifier::Shift) {
        text += QStringLiteral("Shift+");
    }
    if (modifiers & CarbonModifier::Command) {
        text += QStringLiteral("Super+");
    }
    return text + keyName(keyCode);
}

bool KeySequence::matches(const QList<KeyBufferEntry>& buffer) const
{
    const qsizetype n = presses.size();
    if (n == 0 || buffer.size() < n) {
        return false;
    }
    const qsizetype offset = buffer.size() - n;
    for (qsizetype i = 0; i < n; ++i) {
        const KeyPress& typed = buffer.at(offset + i).press;
        const KeyPress& wanted = presses.at(i);
        if (typed.keyCode != wanted.keyCode ||
            ((typed.modifiers ^ wanted.modifiers) & CarbonModifier::Mask) != 0) {
            return false;
        }
    }
    for (qsizetype i = 1; i < n; ++i) {
        const double gap = buffer.at(offset + i).time - buffer.at(offset + i - 1).time;
        if (gap > maxTimeBetweenKeys) {
            return false;
        }
    }
    return true;
}

QString KeySequence::displayString() const
{
    if (presses.isEmpty()) {
        return QCoreApplication::translate("KeySequence", "No hotkey set");
    }
    QStringList parts;
    for (const KeyPress& press : presses) {
        parts.append(press.displayString());
    }
    return parts.join(QStringLiteral(" \u2192 "));
}

QString KeySequence::menuDisplayString() const
{
    QStringList parts;
    for (const KeyPress& press : presses) {
        parts.append(press.displayString());
    }
    return parts.join(u' ');
}

std::optional<QString> KeySequence::toJSONString() const
{
    // JSON has no NaN or infinity; Qt would write null, which could not be
    // read back.
    if (!std::isfinite(maxTimeBetweenKeys)) {
        return std::nullopt;
    }
    QJsonArray array;
    for (const KeyPress& press : presses) {
        array.append(QJsonObject{{keyCodeKey, qint64(press.keyCode)},
                                 {modifiersKey, qint64(press.modifiers)}});
    }
    const QJsonObject object{{::presses, array}, {maxTimeKey, maxTimeBetweenKeys}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

std::optional<KeySequence> KeySequence::fromJSONString(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QJsonValue pressArray = object.value(::presses);
    const QJsonValue maxTime = object.value(maxTimeKey);
    if (!pressArray.isArray() || !maxTime.isDouble()) {
        return std::nullopt;
    }
    KeySequence sequence;
    sequence.maxTimeBetweenKeys = maxTime.toDouble();
    for (const QJsonValue& value : pressArray.toArray()) {
        const std::optional<KeyPress> press = pressFromJson(value);
        if (!press) {
            return std::nullopt;
        }
        sequence.presses.append(*press);
    }
    return sequence;
}

KeySequence KeySequence::defaultSequence()
{
    return KeySequence{{KeyPress{28, CarbonModifier::Command | CarbonModifier::Shift}}, 0.5};
}
