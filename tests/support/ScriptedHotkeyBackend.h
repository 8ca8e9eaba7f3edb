#pragma once

#include "hotkeys/HotkeyBackend.h"

// A hotkey backend the test drives: it grants or refuses as told and
// remembers what it was asked for; the test emits its signals.
class ScriptedHotkeyBackend : public HotkeyBackend
{
public:
    std::optional<HotkeyError> refusal; // the answer to the next requests
    std::optional<KeyPress> grabbed;
    bool observing = false;

    Expected<void, HotkeyError> grabChord(const KeyPress& chord) override
    {
        grabbed = refusal ? std::nullopt : std::optional(chord);
        return answer();
    }
    void ungrabChord() override { grabbed.reset(); }
    Expected<void, HotkeyError> startObserving() override
    {
        observing = !refusal;
        return answer();
    }
    void stopObserving() override { observing = false; }
    Expected<void, HotkeyError> answer() const
    {
        return refusal ? Expected<void, HotkeyError>(unexpected(*refusal))
                       : Expected<void, HotkeyError>();
    }
};
