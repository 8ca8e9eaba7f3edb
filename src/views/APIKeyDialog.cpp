#include "views/APIKeyDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int labelHeight = 20;
constexpr int fieldHeight = 24;
constexpr int groupSpacing = 12;

} // namespace

APIKeyDialog::APIKeyDialog(KeychainService& keychain, AlertHandler alert, QWidget* parent)
    : MessageDialog(QStyle::SP_MessageBoxInformation, tr("Configure API Keys"),
                    APIKeySaver(keychain).message(), parent),
      m_saver(keychain), m_alert(std::move(alert))
{
    m_openAI = addKeyField(tr("OpenAI API Key:"), QStringLiteral("sk-proj-..."));
    body()->addSpacing(groupSpacing);
    m_gemini = addKeyField(tr("Gemini API Key:"), QStringLiteral("AIza..."));
    body()->addSpacing(groupSpacing);
    m_ocrSpace = addKeyField(tr("OCR.space API Key:"), QStringLiteral("K8..."));

    m_save = addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    m_cancel = addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    m_save->setDefault(true);
    m_openAI->setFocus();

    // The stored keys arrive from the keyring, which may take its time (an
    // unlock prompt): until then nothing can be typed over or saved.
    setBusy(true);
    m_saver.load(this, [this](const APIKeySaver::Keys& keys) {
        m_openAI->setText(keys.openAI);
        m_gemini->setText(keys.gemini);
        m_ocrSpace->setText(keys.ocrSpace);
        setBusy(false);
        m_openAI->setFocus();
    });
}

void APIKeyDialog::setBusy(bool busy)
{
    for (QWidget* w : {static_cast<QWidget*>(m_openAI), static_cast<QWidget*>(m_gemini),
                       static_cast<QWidget*>(m_ocrSpace), static_cast<QWidget*>(m_save)}) {
        w->setEnabled(!busy);
    }
    // A disabled button stops being the default one: Return must save again.
    if (!busy) {
        m_save->setDefault(true);
    }
}

QLineEdit* APIKeyDialog::addKeyField(const QString& label, const QString& placeholder)
{
    auto* caption = new QLabel(label, this);
    caption->setMinimumHeight(labelHeight);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    body()->addWidget(caption);

    // Plain so that a pasted key can be checked by eye; still kept away from
    // input-method dictionaries and prediction.
    auto* field = new QLineEdit(this);
    field->setPlaceholderText(placeholder);
    field->setFixedWidth(messageWidth);
    field->setMinimumHeight(fieldHeight);
    field->setFrame(true);
    field->setInputMethodHints(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                               Qt::ImhNoAutoUppercase);
    caption->setBuddy(field); // also names the field for assistive technology
    body()->addWidget(field);
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
    if (!m_save->isEnabled()) {
        return; // still loading, or a save is under way
    }
    setBusy(true);
    m_saver.save({m_openAI->text(), m_gemini->text(), m_ocrSpace->text()}, this,
                 [this](const APIKeySaver::Alert& alert) {
                     // Whoever listens to finished() may delete the dialog:
                     // keep what the alert needs on the stack.
                     const AlertHandler handler = m_alert;
                     QDialog::accept();
                     if (handler) {
                         handler(alert.title, alert.message);
                     }
                 });
}
