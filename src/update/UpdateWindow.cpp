#include "update/UpdateWindow.h"

#include "feedback/AppIcon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int iconSize = 64;
constexpr int textWidth = 420;

// Release notes come from the network: links open in the browser, nothing
// else (images, style sheets, local files) is ever fetched.
class ReleaseNotesBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

UpdateWindow::UpdateWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Software Update"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(16);

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon::application().pixmap(iconSize));
    outer->addWidget(icon, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    outer->addLayout(column, 1);
    m_title = new QLabel(this);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_title->setFont(titleFont);
    m_title->setTextFormat(Qt::PlainText); // it may hold a version string from the feed
    m_title->setWordWrap(true);
    column->addWidget(m_title);

    m_message = new QLabel(this);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setMinimumWidth(textWidth);
    column->addWidget(m_message);

    m_notesLabel = new QLabel(tr("Release Notes:"), this);
    QFont notesFont = m_notesLabel->font();
    notesFont.setBold(true);
    m_notesLabel->setFont(notesFont);
    column->addSpacing(8);
    column->addWidget(m_notesLabel);
    m_notes = new ReleaseNotesBrowser(this);
    m_notes->setOpenExternalLinks(true);
    m_notes->setMinimumSize(textWidth, 220);
    column->addWidget(m_notes, 1);

    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    column->addWidget(m_progress);

    column->addSpacing(8);
    m_buttons = new QDialogButtonBox(this);
    column->addWidget(m_buttons);

    // Closing the window is the same as its Cancel or Remind Me Later.
    connect(this, &QDialog::rejected, this, &UpdateWindow::cancelRequested);
}

void UpdateWindow::setState(const QString& title, const QString& message, bool notes, bool progress)
{
    m_title->setText(title);
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    m_notesLabel->setVisible(notes);
    m_notes->setVisible(notes);
    m_progress->setVisible(progress);
    m_buttons->clear();
    adjustSize();
}

void UpdateWindow::addButton(const QString& text, void (UpdateWindow::*signal)(), bool isDefault)
{
    QPushButton* button = m_buttons->addButton(text, QDialogButtonBox::ActionRole);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    connect(button, &QPushButton::clicked, this, signal);
}

void UpdateWindow::showChecking()
{
    setState(tr("Checking for updates…"), {}, false, true);
    m_progress->setRange(0, 0);
    addButton(tr("Cancel"), &UpdateWindow::cancelRequested);
}

void UpdateWindow::showAvailable(const QString& newVersion, const QString& currentVersion)
{
    setState(tr("A new version of quillsnap is available!"),
             tr("quillsnap %1 is now available—you have %2. Would you like to download it now?")
                 .arg(newVersion, currentVersion),
             true, false);
    m_notes->setHtml(tr("<p><i>Loading release notes…</i></p>"));
    addButton(tr("Skip This Version"), &UpdateWindow::skipRequested);
    addButton(tr("Remind Me Later"), &UpdateWindow::remindLaterRequested);
    addButton(tr("Download"), &UpdateWindow::downloadRequested, true);
}

void UpdateWindow::setReleaseNotes(const QString& html)
{
    m_notes->setHtml(html.trimmed().isEmpty() ? tr("<p><i>No release notes were given.</i></p>")
                                              : html);
}

void UpdateWindow::showDownloading(const QString& newVersion, qint64 received, qint64 total)
{
    const QLocale locale;
    const QString amount =
        total > 0 ? tr("%1 of %2")
                        .arg(locale.formattedDataSize(received, 1, QLocale::DataSizeSIFormat),
                             locale.formattedDataSize(total, 1, QLocale::DataSizeSIFormat))
                  : locale.formattedDataSize(received, 1, QLocale::DataSizeSIFormat);
    if (m_title->text() != tr("Downloading quillsnap %1…").arg(newVersion)) {
        setState(tr("Downloading quillsnap %1…").arg(newVersion), amount, false, true);
        addButton(tr("Cancel"), &UpdateWindow::cancelRequested);
    }
    m_message->setText(amount);
    // Per mille, so that sizes above 2 GiB fit the bar's int range.
    m_progress->setRange(0, total > 0 ? 1000 : 0);
    m_progress->setValue(total > 0 ? int(std::min<qint64>(received * 1000 / total, 1000)) : 0);
}

void UpdateWindow::showReady(const QString& newVersion, const QString& path)
{
    setState(tr("quillsnap %1 is ready to install").arg(newVersion),
             tr("The package was saved as %1 and its signature was checked. Opening it hands it "
                "to your system's package installer, which asks before it installs anything.")
                 .arg(path),
             false, false);
    addButton(tr("Show in Folder"), &UpdateWindow::showInFolderRequested);
    addButton(tr("Close"), &UpdateWindow::cancelRequested);
    addButton(tr("Open Package"), &UpdateWindow::openRequested, true);
}

void UpdateWindow::showUpToDate(const QString& currentVersion)
{
    setState(tr("You're up to date!"), tr("quillsnap %1 is up to date.").arg(currentVersion), false,
             false);
    addButton(tr("OK"), &UpdateWindow::cancelRequested, true);
}

void UpdateWindow::showError(const QString& message)
{
    setState(tr("Update Error"), message, false, false);
    addButton(tr("OK"), &UpdateWindow::cancelRequested, true);
}

QString UpdateWindow::titleText() const
{
    return m_title->text();
}

QString UpdateWindow::messageText() const
{
    return m_message->text();
}

QString UpdateWindow::releaseNotesText() const
{
    return m_notes->isHidden() ? QString() : m_notes->toPlainText();
}

QStringList UpdateWindow::buttonTexts() const
{
    QStringList texts;
    for (const QAbstractButton* b : m_buttons->buttons()) {
        texts << b->text();
    }
    return texts;
}

bool UpdateWindow::press(const QString& text)
{
    for (QAbstractButton* b : m_buttons->buttons()) {
        if (b->text() == text) {
            b->click();
            return true;
        }
    }
    return false;
}
