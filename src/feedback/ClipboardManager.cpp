#include "feedback/ClipboardManager.h"

#include "feedback/Clipboard.h"

namespace {

// The content to write: the trimmed text, after the existing text in
// additive mode; nullopt for an empty text.
std::optional<QString> contentFor(const Clipboard& clipboard, const QString& text, bool additive,
                                  const QString& separator)
{
    // QString::trimmed() removes exactly the Unicode white space and line
    // breaks (Z* categories, U+0009-U+000D, U+0085) at both ends.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    if (additive) {
        const std::optional<QString> existing = clipboard.text();
        if (existing && !existing->isEmpty()) {
            return *existing + separator + trimmed;
        }
    }
    return trimmed;
}

} // namespace

void ClipboardManager::copyToClipboardAsync(
    Clipboard& clipboard, const QString& text, bool additive, const QString& separator,
    std::function<void(Expected<void, ClipboardError>)> done)
{
    const std::optional<QString> content = contentFor(clipboard, text, additive, separator);
    if (!content) {
        done(unexpected(ClipboardError::emptyText));
        return;
    }
    clipboard.clear();
    clipboard.setTextAsync(*content, [done = std::move(done)](bool written) {
        done(written ? Expected<void, ClipboardError>()
                     : Expected<void, ClipboardError>(unexpected(ClipboardError::copyFailed)));
    });
}

Expected<void, ClipboardError> ClipboardManager::copyToClipboard(Clipboard& clipboard,
                                                                 const QString& text, bool additive,
                                                                 const QString& separator)
{
    const std::optional<QString> content = contentFor(clipboard, text, additive, separator);
    if (!content) {
        return unexpected(ClipboardError::emptyText);
    }
    clipboard.clear();
    if (!clipboard.setText(*content)) {
        return unexpected(ClipboardError::copyFailed);
    }
    return {};
}

QString ClipboardManager::describe(ClipboardError error)
{
    switch (error) {
    case ClipboardError::emptyText:
        return tr("The text to copy is empty.");
    case ClipboardError::copyFailed:
        return tr("The clipboard refused the text.");
    }
    return tr("Unknown clipboard error.");
}
