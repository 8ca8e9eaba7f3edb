#pragma once

#include <QString>

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
};
