#pragma once

#include <QString>

#include <functional>
#include <optional>

// The system clipboard as the clipboard manager needs it: read as text,
// cleared, written with one text item.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // The current text, or nullopt when the clipboard holds no text.
    virtual std::optional<QString> text() const = 0;
    virtual void clear() = 0;
    // Replaces the whole content with one text item. False when refused.
    virtual bool setText(const QString& text) = 0;

    // The same for a clipboard whose writes finish later (through a helper
    // process): done runs once, on the main thread, with the answer. By
    // default the write happens at once.
    virtual void setTextAsync(const QString& text, std::function<void(bool)> done)
    {
        done(setText(text));
    }
    // The text will be read soon (a capture starts in additive mode): a
    // clipboard that reads through a helper starts reading now.
    virtual void prefetchText() {}
};
