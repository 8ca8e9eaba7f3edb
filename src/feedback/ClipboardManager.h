#pragma once

#include "common/Expected.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

class Clipboard;

enum class ClipboardError { emptyText = 0, copyFailed = 1 };

// Writes text to the clipboard, replacing it or, in additive mode, appending
// to the text already there. The only writer of the clipboard in the system.
class ClipboardManager
{
    Q_DECLARE_TR_FUNCTIONS(ClipboardManager)

public:
    static Expected<void, ClipboardError>
    copyToClipboard(Clipboard& clipboard, const QString& text, bool additive = false,
                    const QString& separator = QStringLiteral("\n\n"));

    // The same, for clipboards whose writes finish later: done runs once with
    // the outcome (at once for an empty text or a clipboard that writes at once).
    static void copyToClipboardAsync(Clipboard& clipboard, const QString& text, bool additive,
                                     const QString& separator,
                                     std::function<void(Expected<void, ClipboardError>)> done);

    // A short description of an error, for alerts.
    static QString describe(ClipboardError error);
};
