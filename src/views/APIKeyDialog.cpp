#include "views/APIKeyDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int fieldWidth = 340;
constexpr int labelHeight = 20;
constexpr int fieldHeight = 24;
constexpr int groupSpacing = 12;
constexpr int iconSize = 48;

} // namespace

APIKeyDialog::APIKeyDialog(KeychainService& keychain, AlertHandler alert, QWidget* parent)
    : QDialog(parent), m_saver(keychain), m_alert(std::move(alert))
{
    setWindowTitle(tr("Configure API Keys"));

    // Laid out as the desktop's message boxes are: an icon beside a bold
    // title, the message, the fields, and the buttons at the bottom.
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 16);
    outer->setSpacing(16);

    // Decorative, like a message box's icon: the title says it all.
    auto* icon = new QLabel(this);
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this)
                        .pixmap(extent > 0 ? extent : iconSize));
    outer->addWidget(icon, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    outer->addLayout(column);

    auto* title = new QLabel(tr("Configure API Keys"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    column->addWidget(title);
    column->addSpacing(6);

    auto* message = new QLabel(m_saver.message(), this);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    // The store's name may be a file path worth copying.
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setMaximumWidth(fieldWidth);
    column->addWidget(message);
    column->addSpacing(8);

    const APIKeySaver::Keys keys = m_saver.load();
    m_openAI =
        addKeyField(column, tr("OpenAI API Key:"), QStringLiteral("sk-proj-..."), keys.openAI);
    column->addSpacing(groupSpacing);
    m_gemini = addKeyField(column, tr("Gemini API Key:"), QStringLiteral("AIza..."), keys.gemini);
    column->addSpacing(groupSpacing);
    m_ocrSpace =
        addKeyField(column, tr("OCR.space API Key:"), QStringLiteral("K8..."), keys.ocrSpace);
    column->addSpacing(20);

    auto* buttons = new QDialogButtonBox(this);
    m_save = buttons->addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    m_save->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &APIKeyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &APIKeyDialog::reject);
    column->addWidget(buttons);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_openAI->setFocus();
}

QLineEdit* APIKeyDialog::addKeyField(QVBoxLayout* layout, const QString& label,
                                     const QString& placeholder, const QString& key)
{
    auto* caption = new QLabel(label, this);
    caption->setMinimumHeight(labelHeight);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(caption);

    // Plain so that a pasted key can be checked by eye; still kept away from
    // input-method dictionaries and prediction.
    auto* field = new QLineEdit(key, this);
    field->setPlaceholderText(placeholder);
    field->setFixedWidth(fieldWidth);
    field->setMinimumHeight(fieldHeight);
    field->setFrame(true);
    field->setInputMethodHints(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                               Qt::ImhNoAutoUppercase);
    caption->setBuddy(field); // also names the field for assistive technology
    layout->addWidget(field);
    return field;
}

void APIKeyDialog::present()
{
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void APIKeyDialog::accept()
{
    const APIKeySaver::Alert alert =
        m_saver.save({m_openAI->text(), m_gemini->text(), m_ocrSpace->text()});
    // Whoever listens to finished() may delete the dialog: keep what the
    // alert needs on the stack.
    const AlertHandler handler = m_alert;
    QDialog::accept();
    if (handler) {
        handler(alert.title, alert.message);
    }
}
