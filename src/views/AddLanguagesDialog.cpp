#include "views/AddLanguagesDialog.h"

#include "capture/LanguageDownloader.h"
#include "capture/RecognitionLanguages.h"
#include "views/ViewStyle.h"

#include <QCollator>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ViewStyle;

AddLanguagesDialog::AddLanguagesDialog(QNetworkAccessManager& network, const QString& targetDir,
                                       const QStringList& installed, const QUrl& base,
                                       QWidget* parent)
    : QDialog(parent), m_downloader(new LanguageDownloader(network, targetDir, this)),
      m_base(base.isEmpty() ? LanguageDownloader::defaultBaseUrl() : base)
{
    setWindowTitle(tr("Add Languages"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(10);
    layout->addWidget(makeLabel(tr("Add Languages"), textFont(TextStyle::Headline), this));
    QLabel* intro = makeSecondaryLabel(
        tr("Language data comes from the Tesseract project (%1) and is kept in %2.")
            .arg(m_base.host(), targetDir),
        TextStyle::Callout, this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(tr("Search"));
    m_filter->setAccessibleName(tr("Search languages"));
    m_filter->setClearButtonEnabled(false);
    layout->addWidget(m_filter);
    connect(m_filter, &QLineEdit::textChanged, this, &AddLanguagesDialog::filter);

    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("Languages to add"));
    QList<std::pair<QString, QString>> named;
    for (const QString& language : RecognitionLanguages::catalog()) {
        if (!installed.contains(language)) {
            named.append({RecognitionLanguages::displayName(language), language});
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(named.begin(), named.end(),
              [&collator](const auto& a, const auto& b) { return collator(a.first, b.first); });
    for (const auto& [name, language] : named) {
        auto* item = new QListWidgetItem(name, m_list);
        item->setData(Qt::UserRole, language);
        item->setToolTip(language);
    }
    layout->addWidget(m_list, 1);
    connect(m_list, &QListWidget::itemActivated, this, &AddLanguagesDialog::download);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] {
        m_download->setEnabled(m_list->currentItem() && !m_downloader->isRunning());
    });

    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(tr("Download progress"));
    m_progress->hide();
    layout->addWidget(m_progress);
    m_status = makeLabel(QString(), textFont(TextStyle::Callout), this);
    m_status->setWordWrap(true);
    m_status->hide();
    layout->addWidget(m_status);

    auto* buttons = new QDialogButtonBox(this);
    m_cancel = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    m_download = buttons->addButton(tr("Download"), QDialogButtonBox::AcceptRole);
    m_download->setDefault(true);
    m_download->setEnabled(false);
    // Return while a download runs must not land on "Cancel", which takes the
    // focus from the disabled list.
    m_cancel->setAutoDefault(false);
    connect(m_download, &QPushButton::clicked, this, &AddLanguagesDialog::download);
    connect(m_cancel, &QPushButton::clicked, this, &AddLanguagesDialog::reject);
    layout->addWidget(buttons);
    resize(420, 460);
    m_filter->setFocus();
}

AddLanguagesDialog::~AddLanguagesDialog() = default;

void AddLanguagesDialog::filter(const QString& text)
{
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        item->setHidden(!item->text().contains(text, Qt::CaseInsensitive) &&
                        !item->data(Qt::UserRole).toString().startsWith(text.toLower()));
    }
}

void AddLanguagesDialog::download()
{
    QListWidgetItem* item = m_list->currentItem();
    if (!item || item->isHidden() || m_downloader->isRunning()) {
        return;
    }
    const QString language = item->data(Qt::UserRole).toString();
    const QString name = item->text();
    setBusy(true);
    showStatus(tr("Downloading %1...").arg(name), false);
    m_progress->setRange(0, 0);
    m_progress->show();
    m_downloader->start(
        m_base, language,
        [this](qint64 received, qint64 total) {
            if (total > 0) {
                m_progress->setRange(0, 1000);
                m_progress->setValue(int(received * 1000 / total));
            }
        },
        [this, language, name](Expected<QString, QString> outcome) {
            setBusy(false);
            m_progress->hide();
            if (!outcome) {
                showStatus(tr("%1 was not added. %2").arg(name, outcome.error()), true);
                return;
            }
            for (int i = 0; i < m_list->count(); ++i) {
                if (m_list->item(i)->data(Qt::UserRole) == language) {
                    delete m_list->takeItem(i);
                    break;
                }
            }
            showStatus(tr("%1 was added and is used from now on.").arg(name), false);
            emit languageAdded(language);
        });
}

void AddLanguagesDialog::reject()
{
    if (m_downloader->isRunning()) {
        m_downloader->cancel(); // the dialog stays; a second Escape closes it
        return;
    }
    QDialog::reject();
}

void AddLanguagesDialog::setBusy(bool busy)
{
    m_cancel->setText(busy ? tr("Cancel") : tr("Close"));
    m_download->setEnabled(!busy && m_list->currentItem());
    m_list->setEnabled(!busy);
    m_filter->setEnabled(!busy);
    if (!busy) {
        m_list->setFocus();
    }
}

void AddLanguagesDialog::showStatus(const QString& text, bool failure)
{
    QPalette p = m_status->palette();
    p.setColor(QPalette::WindowText,
               failure ? destructiveRed() : palette().color(QPalette::WindowText));
    m_status->setPalette(p);
    m_status->setText(text);
    m_status->show();
}
