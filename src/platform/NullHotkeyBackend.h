#pragma once

#include "hotkeys/HotkeyBackend.h"

// For sessions where no global key can be watched: every registration is
// refused as unsupported, so the user is told to bind "quillsnap-cli capture"
// to a desktop shortcut instead.
class NullHotkeyBackend : public HotkeyBackend
{
    Q_OBJECT
public:
    using HotkeyBackend::HotkeyBackend;

    Expected<void, HotkeyError> grabChord(const KeyPress&) override
    {
        return unexpected(HotkeyError::unsupported);
    }
    void ungrabChord() override {}
    Expected<void, HotkeyError> startObserving() override
    {
        return unexpected(HotkeyError::unsupported);
    }
    void stopObserving() override {}
};
