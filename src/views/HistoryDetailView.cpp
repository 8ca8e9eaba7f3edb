#include "views/HistoryDetailView.h"

#include "common/AppPaths.h"
#include "common/Graphemes.h"
#include "feedback/ClipboardManager.h"
#include "views/MessageDialog.h"
#include "views/StatLabel.h"
#include "views/ViewStyle.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVBoxLayout>

namespace {

constexpr int kRadius = 12;

void defaultChooseSaveFile(QWidget* parent, const QString& suggestedPath,
                           std::function<void(const QString&)> done)
{
    auto* dialog =
        new QFileDialog(parent, HistoryDetailView::tr("Save as Text File"), suggestedPath,
                        HistoryDetailView::tr("Text files (*.txt);;All files (*)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(
        dialog, &QFileDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
            const QStringList files = dialog->selectedFiles();
            done(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
        });
    dialog->open();
}

void defaultShowError(QWidget* parent, const QString& title, const QString& message)
{
    auto* box = new MessageDialog(QStyle::SP_MessageBoxWarning, title, message, parent);
    box->addButton(HistoryDetailView::tr("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

QByteArray mailtoBytes(const QString& body)
{
    QString crlf = body;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    return QByteArrayLiteral("mailto:?subject=") +
           QUrl::toPercentEncoding(HistoryDetailView::tr("Captured Text")) +
           QByteArrayLiteral("&body=") + QUrl::toPercentEncoding(crlf);
}

} // namespace

HistoryDetailView::HistoryDetailView(const HistoryItem& item, Clipboard& clipboard,
                                     HistoryShareHooks hooks, QWidget* parent)
    : QFrame(parent), m_item(item), m_clipboard(clipboard), m_hooks(std::move(hooks))
{
    if (!m_hooks.chooseSaveFile) {
        m_hooks.chooseSaveFile = defaultChooseSaveFile;
    }
    if (!m_hooks.openUrl) {
        m_hooks.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
    if (!m_hooks.showError) {
        m_hooks.showError = defaultShowError;
    }
    setAttribute(Qt::WA_StyledBackground, false);
    setAutoFillBackground(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 18);
    layout->setSpacing(12);

    auto* top = new QHBoxLayout;
    top->addWidget(
        ViewStyle::makeLabel(tr("Captured Text"), ViewStyle::font(15, QFont::DemiBold), this));
    top->addStretch(1);
    m_done = new QPushButton(tr("Done"), this);
    ViewStyle::makeBordered(m_done);
    top->addWidget(m_done);
    layout->addLayout(top);

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setPlainText(m_item.text);
    m_text->setFont(ViewStyle::font(13));
    m_text->setAccessibleName(tr("Captured Text"));
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setBackgroundRole(QPalette::Base);
    m_text->document()->setDocumentMargin(10);
    m_text->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: palette(base); border: 1px solid palette(mid);"
                       " border-radius: 6px; }"));
    layout->addWidget(m_text, 1);

    auto* stats = new QHBoxLayout;
    stats->setSpacing(16);
    m_stats.append(new StatLabel(QStringLiteral("characters"),
                                 QString::number(m_item.characterCount), tr("characters"), this));
    m_stats.append(new StatLabel(QStringLiteral("word-count"), QString::number(m_item.wordCount),
                                 tr("words"), this));
    m_stats.append(new StatLabel(
        QStringLiteral("calendar"),
        QLocale().toString(m_item.timestamp.toLocalTime(), QLocale::ShortFormat), {}, this));
    if (m_item.isSynced) {
        m_stats.append(new StatLabel(QStringLiteral("laptop"), m_item.deviceName, {}, this));
    }
    for (StatLabel* stat : std::as_const(m_stats)) {
        stats->addWidget(stat);
    }
    stats->addStretch(1);
    layout->addLayout(stats);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    m_copy = new QPushButton(tr("Copy"), this);
    ViewStyle::makeProminent(m_copy);
    m_share = new QPushButton(tr("Share..."), this);
    ViewStyle::makeBordered(m_share);
    // Return presses the focused button (the sheet opens on "Copy").
    for (QPushButton* button : {m_done, m_copy, m_share}) {
        button->setAutoDefault(true);
    }
    buttons->addStretch(1);
    buttons->addWidget(m_copy);
    buttons->addWidget(m_share);
    layout->addLayout(buttons);

    m_shareMenu = new QMenu(this);
    m_shareMenu->addAction(tr("Copy"), this, [this] {
        (void)ClipboardManager::copyToClipboard(m_clipboard, m_item.text, false);
    });
    m_shareMenu->addAction(tr("Save as Text File..."), this, [this] { chooseFileAndSave(); });
    m_shareMenu->addAction(tr("Open in Text Editor"), this, [this] { openInTextEditor(); });
    m_shareMenu->addAction(tr("Send by E-mail"), this, [this] { sendByEmail(); });

    connect(m_done, &QPushButton::clicked, this, &HistoryDetailView::dismissed);
    connect(m_copy, &QPushButton::clicked, this, &HistoryDetailView::copyAndDismiss);
    connect(m_share, &QPushButton::clicked, this,
            [this] { m_shareMenu->popup(m_share->mapToGlobal(QPoint(0, m_share->height() + 2))); });
    // Copy takes the focus; the text keeps no caret until the reader clicks it.
    setFocusProxy(m_copy);
}

QStringList HistoryDetailView::statTexts() const
{
    QStringList texts;
    for (const StatLabel* stat : m_stats) {
        texts.append(stat->text());
    }
    return texts;
}

void HistoryDetailView::copyAndDismiss()
{
    (void)ClipboardManager::copyToClipboard(m_clipboard, m_item.text, false);
    emit dismissed();
}

void HistoryDetailView::chooseFileAndSave()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists()) {
        dir = QDir::homePath();
    }
    const QString name =
        tr("Captured Text %1.txt")
            .arg(m_item.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
    QPointer<HistoryDetailView> self(this);
    m_hooks.chooseSaveFile(window(), QDir(dir).filePath(name), [self](const QString& path) {
        if (self && !path.isEmpty()) {
            self->saveAsTextFile(path);
        }
    });
}

bool HistoryDetailView::saveAsTextFile(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_item.text.toUtf8()) < 0 ||
        !file.commit()) {
        reportError(
            tr("Could Not Save the Text"),
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

bool HistoryDetailView::openInTextEditor()
{
    const QString dir = AppPaths::privateTempDir();
    QTemporaryFile file(
        dir.isEmpty() ? QString()
                      : QDir(dir).filePath(tr("Captured Text") + QStringLiteral(" XXXXXX.txt")));
    // The editor opens the file after we return; the private directory is
    // emptied with the user's runtime directory at logout.
    file.setAutoRemove(false);
    const QByteArray data = m_item.text.toUtf8();
    if (dir.isEmpty() || !file.open() || file.write(data) != data.size() || !file.flush()) {
        if (file.isOpen()) {
            file.remove();
        }
        reportError(tr("Could Not Open the Text"), tr("The temporary file could not be written."));
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.close();
    if (!m_hooks.openUrl(QUrl::fromLocalFile(file.fileName()))) {
        QFile::remove(file.fileName());
        reportError(tr("Could Not Open the Text"), tr("No text editor could be started."));
        return false;
    }
    return true;
}

bool HistoryDetailView::sendByEmail()
{
    if (!m_hooks.openUrl(mailtoUrl(m_item.text))) {
        reportError(tr("Could Not Send the Text"), tr("No e-mail program could be started."));
        return false;
    }
    return true;
}

QUrl HistoryDetailView::mailtoUrl(const QString& text)
{
    QByteArray encoded = mailtoBytes(text);
    if (encoded.size() > maxMailtoLength) {
        // Longest prefix, cut between user-perceived characters, that fits
        // together with the marker.
        const QString marker = u'\n' + tr("[...] (shortened)");
        QList<qsizetype> cuts;
        Graphemes::forEach(text, [&cuts](qsizetype, qsizetype end) { cuts.append(end); });
        qsizetype low = 0; // number of cuts known to fit
        qsizetype high = cuts.size();
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (mailtoBytes(text.left(cuts[mid - 1]) + marker).size() <= maxMailtoLength) {
                low = mid;
            } else {
                high = mid - 1;
            }
        }
        encoded = mailtoBytes((low == 0 ? QString() : text.left(cuts[low - 1])) + marker);
    }
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

void HistoryDetailView::reportError(const QString& title, const QString& message)
{
    m_hooks.showError(window(), title, message);
}

void HistoryDetailView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    painter.fillPath(card, palette().color(QPalette::Window));
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.18f);
    painter.setPen(QPen(border, 1));
    painter.drawPath(card);
}
