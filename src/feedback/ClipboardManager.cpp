#include "feedback/ClipboardManager.h"

#include "feedback/Clipboard.h"

Expected<void, ClipboardError> ClipboardManager::copyToClipboard(Clipboard& clipboard,
                                                                 const QString& text, bool additive,
                                                                 const QString& separator)
{
    // QString::trimmed() removes exactly the Unicode white space and line
    // breaks (Z* categories, U+0009-U+000D, U+0085) at both ends.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return unexpected(ClipboardError::emptyText);
    }
    QString content = trimmed;
    if (additive) {
        const std::optional<QString> existing = clipboard.text();
        if (existing && !existing->isEmpty()) {
            content = *existing + separator + trimmed;
        }
    }
    clipboard.clear();
    if (!clipboard.setText(content)) {
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
