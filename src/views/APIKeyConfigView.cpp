#include "views/APIKeyConfigView.h"

#include "history/KeychainService.h"
#include "views/SymbolIcon.h"
#include "views/ViewStyle.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ViewStyle;

namespace {

struct ProviderPage
{
    const char* tab;
    const char* label;
    const char* placeholder;
    const char* linkText;
    const char* url;
    const char* name;
    QLatin1StringView account;
};

constexpr ProviderPage kPages[] = {
    {QT_TRANSLATE_NOOP("APIKeyConfigView", "OpenAI"),
     QT_TRANSLATE_NOOP("APIKeyConfigView", "OpenAI API Key"), "sk-...",
     QT_TRANSLATE_NOOP("APIKeyConfigView", "Get an API Key"),
     "https://platform.openai.com/api-keys", "OpenAI", KeychainService::openAIKeyAccount},
    {QT_TRANSLATE_NOOP("APIKeyConfigView", "Google Gemini"),
     QT_TRANSLATE_NOOP("APIKeyConfigView", "Gemini API Key"), "AIza...",
     QT_TRANSLATE_NOOP("APIKeyConfigView", "Get an API Key"),
     "https://aistudio.google.com/app/apikey", "Gemini", KeychainService::geminiKeyAccount},
    {QT_TRANSLATE_NOOP("APIKeyConfigView", "OCR.space"),
     QT_TRANSLATE_NOOP("APIKeyConfigView", "OCR.space API Key"), "K8...",
     QT_TRANSLATE_NOOP("APIKeyConfigView", "Get a Free API Key"),
     "https://ocr.space/ocrapi/freekey", "OCR.space", KeychainService::ocrSpaceKeyAccount},
};

QString linkHtml(const QString& url, const QString& text, const QColor& color)
{
    return QStringLiteral("<a href=\"%1\" style=\"color: %2; text-decoration: none;\">%3</a>")
        .arg(url.toHtmlEscaped(), color.name(), text.toHtmlEscaped());
}

} // namespace

APIKeyConfigView::APIKeyConfigView(KeychainService& keychain, QWidget* parent, UrlOpener openUrl)
    : QDialog(parent), m_keychain(keychain), m_openUrl(std::move(openUrl))
{
    if (!m_openUrl) {
        m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
    setWindowTitle(tr("Configure API Keys"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addWidget(makeLabel(tr("Configure API Keys"), textFont(TextStyle::Headline), this));
    header->addStretch(1);
    m_close = new QToolButton(this);
    m_close->setAutoRaise(true);
    m_close->setIcon(
        SymbolIcon::pixmap(u"close-circle", 18, secondaryText(palette()), devicePixelRatioF()));
    m_close->setIconSize(QSize(18, 18));
    m_close->setAccessibleName(tr("Close"));
    m_close->setToolTip(tr("Close without saving"));
    connect(m_close, &QToolButton::clicked, this, &QDialog::reject);
    header->addWidget(m_close);
    layout->addLayout(header);

    auto* description = makeSecondaryLabel(
        tr("Enter your API keys to enable AI-enhanced features. Keys are stored securely in %1.")
            .arg(m_keychain.storeName()),
        TextStyle::Body, this);
    description->setWordWrap(true);
    layout->addWidget(description);

    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(true);
    m_tabs->setAccessibleName(tr("Provider"));
    for (int i = 0; i < 3; ++i) {
        const ProviderPage& page = kPages[i];
        auto* tab = new QWidget(m_tabs);
        auto* column = new QVBoxLayout(tab);
        column->setContentsMargins(0, 12, 0, 0);
        column->setSpacing(6);
        QLabel* caption = makeLabel(tr(page.label), textFont(TextStyle::Headline), tab);
        column->addWidget(caption);
        auto* field = m_fields[i] = new QLineEdit(tab);
        field->setEchoMode(QLineEdit::Password);
        field->setPlaceholderText(QString::fromLatin1(page.placeholder));
        field->setInputMethodHints(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                                   Qt::ImhNoAutoUppercase | Qt::ImhHiddenText);
        caption->setBuddy(field); // names the field for assistive technology
        field->setAccessibleName(tr(page.label));
        column->addWidget(field);
        auto* link = m_links[i] = new QLabel(
            linkHtml(QString::fromLatin1(page.url), tr(page.linkText), accent(palette())), tab);
        link->setFont(textFont(TextStyle::Caption));
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::TextBrowserInteraction);
        link->setAccessibleName(tr(page.linkText));
        link->setToolTip(QString::fromLatin1(page.url));
        connect(link, &QLabel::linkActivated, this,
                [this](const QString& url) { m_openUrl(QUrl(url)); });
        column->addWidget(link, 0, Qt::AlignLeft);
        column->addStretch(1);
        m_tabs->addTab(tab, tr(page.tab));
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && m_fields[index]->isEnabled()) {
            m_fields[index]->setFocus();
        }
    });
    layout->addWidget(m_tabs, 1);

    m_success = makeLabel(tr("Settings saved successfully!"), textFont(TextStyle::Body), this);
    QPalette green = m_success->palette();
    green.setColor(QPalette::WindowText, success());
    m_success->setPalette(green);
    m_success->setGraphicsEffect(new QGraphicsOpacityEffect(m_success));
    m_success->hide();
    layout->addWidget(m_success);
    m_failure = makeLabel(QString(), textFont(TextStyle::Body), this);
    m_failure->setWordWrap(true);
    QPalette red = m_failure->palette();
    red.setColor(QPalette::WindowText, destructiveRed());
    m_failure->setPalette(red);
    m_failure->hide();
    layout->addWidget(m_failure);

    auto* buttons = new QDialogButtonBox(this);
    m_cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    m_save = buttons->addButton(tr("Save Keys"), QDialogButtonBox::AcceptRole);
    m_save->setDefault(true);
    // While the keys load only "Cancel" can take the focus; as an auto-default
    // button it would then take Return from "Save Keys" for good.
    m_cancel->setAutoDefault(false);
    makeProminent(m_save);
    connect(buttons, &QDialogButtonBox::accepted, this, &APIKeyConfigView::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(480, 340);

    // The stored keys come from the keyring, which may take its time (an
    // unlock prompt): until they are in, nothing can be typed over or saved.
    setBusy(true);
    auto remaining = std::make_shared<int>(3);
    for (int i = 0; i < 3; ++i) {
        m_keychain.readKey(kPages[i].account, this,
                           [this, i, remaining](const KeychainService::KeyLookup& lookup) {
                               m_showedKey[i] = lookup.found() && !lookup.key.isEmpty();
                               m_fields[i]->setText(m_showedKey[i] ? lookup.key : QString());
                               if (--*remaining == 0) {
                                   m_loading = false;
                                   setBusy(false);
                                   m_fields[m_tabs->currentIndex()]->setFocus();
                               }
                           });
    }
}

void APIKeyConfigView::setBusy(bool busy)
{
    for (QLineEdit* field : m_fields) {
        field->setEnabled(!busy);
    }
    m_save->setEnabled(!busy);
}

void APIKeyConfigView::accept()
{
    if (m_loading || m_saving) {
        return;
    }
    m_saving = true;
    m_failure->hide();
    setBusy(true);
    saveFrom(0);
}

void APIKeyConfigView::saveFrom(int index)
{
    if (index == 3) {
        finishSaving();
        return;
    }
    const ProviderPage& page = kPages[index];
    const QString key = m_fields[index]->text();
    const auto next = [this, index](bool done, const char* failure) {
        if (done) {
            saveFrom(index + 1);
            return;
        }
        // Keys before this one are stored, the ones after it untouched.
        m_saving = false;
        setBusy(false);
        m_failure->setText(tr(failure).arg(QLatin1String(kPages[index].name)) + u' ' +
                           tr("Unlock your keyring and try again."));
        m_failure->show();
        m_tabs->setCurrentIndex(index);
    };
    if (!key.isEmpty()) {
        m_keychain.saveKey(key, page.account, this, [next](bool saved) {
            next(saved, QT_TR_NOOP("The %1 API key could not be saved."));
        });
    } else if (m_showedKey[index]) {
        // The user emptied a field that showed a stored key.
        m_keychain.deleteKey(page.account, this, [this, index, next](bool deleted) {
            m_showedKey[index] = !deleted;
            next(deleted, QT_TR_NOOP("The %1 API key could not be removed."));
        });
    } else {
        saveFrom(index + 1);
    }
}

void APIKeyConfigView::finishSaving()
{
    m_success->show();
    auto* fade = new QPropertyAnimation(m_success->graphicsEffect(), "opacity", m_success);
    fade->setDuration(200);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
    QTimer::singleShot(closeDelayMs, this, [this] { QDialog::accept(); });
}
