#pragma once

#include "feedback/Clipboard.h"

// An in-process clipboard for tests of code that writes the clipboard.
class MemoryClipboard : public Clipboard
{
public:
    std::optional<QString> current;
    bool holdsImage = false;
    bool refuseWrites = false;
    int clears = 0;

    std::optional<QString> text() const override { return current; }
    void clear() override
    {
        ++clears;
        current.reset();
        holdsImage = false;
    }
    bool setText(const QString& text) override
    {
        if (refuseWrites) {
            return false;
        }
        current = text;
        return true;
    }
};
