#pragma once

#include "history/HistoryItem.h"

#include <QFrame>
#include <QUrl>

#include <functional>

class Clipboard;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class StatLabel;

// How the detail sheet reaches the desktop when it shares a capture; tests
// replace them so that no dialog blocks and nothing is launched.
struct HistoryShareHooks
{
    // Asks where to save the text; calls done with the chosen path, or with an
    // empty one when the user cancels. Default: a non-blocking QFileDialog.
    std::function<void(QWidget* parent, const QString& suggestedPath,
                       std::function<void(const QString& path)> done)>
        chooseSaveFile;
    // Default: QDesktopServices::openUrl.
    std::function<bool(const QUrl& url)> openUrl;
    // Tells the user that sharing failed. Default: a window-modal warning box.
    std::function<void(QWidget* parent, const QString& title, const QString& message)> showError;
};

// One capture in full, shown as a sheet over the history list: the selectable
// text, its counts, when and (for synced captures) where it was made, and the
// Copy and Share... actions. The share menu stands in for a share picker:
// copy, save as a text file, open in the text editor, send by e-mail.
class HistoryDetailView : public QFrame
{
    Q_OBJECT
public:
    // Longest mailto: link handed to the desktop; mail programs and the
    // command lines they are started with truncate or refuse longer ones.
    static constexpr qsizetype maxMailtoLength = 2000;

    HistoryDetailView(const HistoryItem& item, Clipboard& clipboard, HistoryShareHooks hooks,
                      QWidget* parent = nullptr);

    const HistoryItem& item() const { return m_item; }
    QPlainTextEdit* textView() const { return m_text; }
    QPushButton* doneButton() const { return m_done; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* shareButton() const { return m_share; }
    QMenu* shareMenu() const { return m_shareMenu; }
    // The labels under the text, e.g. "340 characters", "52 words", the time.
    QStringList statTexts() const;

    // "Copy": the text replaces the clipboard, then the sheet closes.
    void copyAndDismiss();
    // Writes the text as UTF-8 to path (replacing the file only once written).
    bool saveAsTextFile(const QString& path);
    // Writes the text to a private (0600) file in the private temporary
    // directory and opens it with the desktop's text editor.
    bool openInTextEditor();
    bool sendByEmail();

    // A mailto: link with the text as body, line breaks as CRLF, everything
    // percent-encoded. A text too long for maxMailtoLength is cut at a
    // user-perceived character boundary and marked as shortened.
    static QUrl mailtoUrl(const QString& text);

signals:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void chooseFileAndSave();
    void reportError(const QString& title, const QString& message);

    HistoryItem m_item;
    Clipboard& m_clipboard;
    HistoryShareHooks m_hooks;
    QPlainTextEdit* m_text;
    QPushButton* m_done;
    QPushButton* m_copy;
    QPushButton* m_share;
    QMenu* m_shareMenu;
    QList<StatLabel*> m_stats;
};
