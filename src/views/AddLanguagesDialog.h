#pragma once

#include <QDialog>
#include <QStringList>
#include <QUrl>

class LanguageDownloader;
class QLabel;
class QLineEdit;
class QListWidget;
class QNetworkAccessManager;
class QProgressBar;
class QPushButton;

// "Add Languages": the languages the public tessdata offers that are not
// installed, named in the user's language and filtered as the user types.
// "Download" fetches the chosen one into the user's tessdata with a progress
// bar; "Cancel" stops a download (nothing is left behind), or closes the
// dialog when none runs. Each language added is announced and leaves the list;
// the dialog stays open for more.
class AddLanguagesDialog : public QDialog
{
    Q_OBJECT
public:
    // base: where NAME.traineddata is fetched from; empty: the public tessdata.
    AddLanguagesDialog(QNetworkAccessManager& network, const QString& targetDir,
                       const QStringList& installed, const QUrl& base, QWidget* parent = nullptr);
    ~AddLanguagesDialog() override;

    QLineEdit* filterField() const { return m_filter; }
    QListWidget* list() const { return m_list; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* downloadButton() const { return m_download; }
    QPushButton* cancelButton() const { return m_cancel; }

    // Downloads the selected language.
    void download();

signals:
    void languageAdded(const QString& language);

public slots:
    void reject() override;

private:
    void setBusy(bool busy);
    void showStatus(const QString& text, bool failure);
    void filter(const QString& text);

    LanguageDownloader* m_downloader;
    QUrl m_base;
    QLineEdit* m_filter;
    QListWidget* m_list;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_download;
    QPushButton* m_cancel;
};
