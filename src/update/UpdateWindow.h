#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QTextBrowser;

// The window of a check the user asked for, in one of its states: checking,
// a newer version with its release notes, downloading, ready to install, up
// to date, or what went wrong. It only shows; choices come out as signals.
class UpdateWindow : public QDialog
{
    Q_OBJECT
public:
    explicit UpdateWindow(QWidget* parent = nullptr);

    void showChecking();
    void showAvailable(const QString& newVersion, const QString& currentVersion);
    // HTML; remote images and local files are never loaded.
    void setReleaseNotes(const QString& html);
    void showDownloading(const QString& newVersion, qint64 received, qint64 total);
    void showReady(const QString& newVersion, const QString& path);
    void showUpToDate(const QString& currentVersion);
    void showError(const QString& message);

    // For tests and the tray: what the window says and offers.
    QString titleText() const;
    QString messageText() const;
    QString releaseNotesText() const;
    QStringList buttonTexts() const;
    // Presses the button with this text; false when there is none.
    bool press(const QString& text);

signals:
    void downloadRequested();
    void skipRequested();
    void remindLaterRequested();
    void cancelRequested();
    void openRequested();
    void showInFolderRequested();

private:
    void setState(const QString& title, const QString& message, bool notes, bool progress);
    void addButton(const QString& text, void (UpdateWindow::*signal)(), bool isDefault = false);

    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_notesLabel = nullptr;
    QTextBrowser* m_notes = nullptr;
    QProgressBar* m_progress = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
