#pragma once

#include "hotkeys/HotkeyBackend.h"

#include <optional>

// A hotkey backend the test drives: it grants or refuses as told, remembers
// what it was asked for, and emits the key events the test gives it.
class ScriptedHotkeyBackend : public HotkeyBackend
{
public:
    std::optional<HotkeyError> refusal; // the answer to the next requests
    std::optional<KeyPress> grabbed;
    bool observing = false;

    Expected<void, HotkeyError> grabChord(const KeyPress& chord) override
    {
        grabbed.reset();
        if (refusal) {
            return unexpected(*refusal);
        }
        grabbed = chord;
        return {};
    }
    void ungrabChord() override { grabbed.reset(); }
    Expected<void, HotkeyError> startObserving() override
    {
        if (refusal) {
            return unexpected(*refusal);
        }
        observing = true;
        return {};
    }
    void stopObserving() override { observing = false; }

    void press() { emit chordPressed(); }
    void key(EventType type, quint32 keyCode, quint32 modifiers, double time)
    {
        emit keyEvent(type, keyCode, modifiers, time);
    }
    // Loses what it had granted, as a backend whose connection breaks.
    void refuseLater(HotkeyError error)
    {
        grabbed.reset();
        observing = false;
        emit refused(error);
    }
    void activate() { emit applicationActivated(); }
};
