#include "hotkeys/KeyCodeMap.h"

#include "hotkeys/KeySequence.h"

#include <algorithm>
#include <iterator>

namespace {

struct CodePair
{
    quint32 virtualCode;
    quint32 evdev;
};

// By position. The keys above the arrows that the other platform's keyboards
// label F13-F15 and Help sit where PC keyboards have Print, Scroll Lock, Pause
// and Insert, and its keypad Clear where PC keyboards have Num Lock.
constexpr CodePair codePairs[] = {
    {0, 30},   {1, 31},    {2, 32},    {3, 33},    {4, 35},    {5, 34},    {6, 44},    {7, 45},
    {8, 46},   {9, 47},    {10, 86},   {11, 48},   {12, 16},   {13, 17},   {14, 18},   {15, 19},
    {16, 21},  {17, 20},   {18, 2},    {19, 3},    {20, 4},    {21, 5},    {22, 7},    {23, 6},
    {24, 13},  {25, 10},   {26, 8},    {27, 12},   {28, 9},    {29, 11},   {30, 27},   {31, 24},
    {32, 22},  {33, 26},   {34, 23},   {35, 25},   {36, 28},   {37, 38},   {38, 36},   {39, 40},
    {40, 37},  {41, 39},   {42, 43},   {43, 51},   {44, 53},   {45, 49},   {46, 50},   {47, 52},
    {48, 15},  {49, 57},   {50, 41},   {51, 14},   {53, 1},    {54, 126},  {55, 125},  {56, 42},
    {57, 58},  {58, 56},   {59, 29},   {60, 54},   {61, 100},  {62, 97},   {64, 187},  {65, 83},
    {67, 55},  {69, 78},   {71, 69},   {75, 98},   {76, 96},   {78, 74},   {79, 188},  {80, 189},
    {81, 117}, {82, 82},   {83, 79},   {84, 80},   {85, 81},   {86, 75},   {87, 76},   {88, 77},
    {89, 71},  {90, 190},  {91, 72},   {92, 73},   {96, 63},   {97, 64},   {98, 65},   {99, 61},
    {100, 66}, {101, 67},  {103, 87},  {105, 99},  {106, 186}, {107, 70},  {109, 68},  {110, 127},
    {111, 88}, {113, 119}, {114, 110}, {115, 102}, {116, 104}, {117, 111}, {118, 62},  {119, 107},
    {120, 60}, {121, 109}, {122, 59},  {123, 105}, {124, 106}, {125, 108}, {126, 103},
};

} // namespace

namespace KeyCodeMap {

std::optional<quint32> evdevCode(quint32 virtualKeyCode)
{
    const auto it =
        std::find_if(std::begin(codePairs), std::end(codePairs),
                     [=](const CodePair& p) { return p.virtualCode == virtualKeyCode; });
    return it != std::end(codePairs) ? std::optional(it->evdev) : std::nullopt;
}

std::optional<quint32> virtualKeyCode(quint32 evdevCode)
{
    const auto it = std::find_if(std::begin(codePairs), std::end(codePairs),
                                 [=](const CodePair& p) { return p.evdev == evdevCode; });
    return it != std::end(codePairs) ? std::optional(it->virtualCode) : std::nullopt;
}

} // namespace KeyCodeMap

namespace {
struct ModifierPair
{
    quint32 xkb;
    quint32 carbon;
};
constexpr ModifierPair modifierPairs[] = {
    {0x01, CarbonModifier::Shift},
    {0x04, CarbonModifier::Control},
    {0x08, CarbonModifier::Option},
    {0x40, CarbonModifier::Command},
};
} // namespace

namespace KeyCodeMap {

quint32 modifiersFromXkbState(quint32 state)
{
    quint32 modifiers = 0;
    for (const ModifierPair& p : modifierPairs) {
        modifiers |= (state & p.xkb) ? p.carbon : 0;
    }
    return modifiers;
}

quint32 xkbStateFromModifiers(quint32 modifiers)
{
    quint32 state = 0;
    for (const ModifierPair& p : modifierPairs) {
        state |= (modifiers & p.carbon) ? p.xkb : 0;
    }
    return state;
}

quint32 modifierOfKey(quint32 virtualKeyCode)
{
    switch (virtualKeyCode) {
    case 54:
    case 55:
        return CarbonModifier::Command;
    case 56:
    case 60:
        return CarbonModifier::Shift;
    case 58:
    case 61:
        return CarbonModifier::Option;
    case 59:
    case 62:
        return CarbonModifier::Control;
    default:
        return 0;
    }
}

bool isLockKey(quint32 virtualKeyCode)
{
    return virtualKeyCode == 57 || virtualKeyCode == 71;
}

} // namespace KeyCodeMap
