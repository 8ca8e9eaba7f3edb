#pragma once

#include "views/APIKeySaver.h"
#include "views/MessageDialog.h"

#include <functional>

class KeychainService;
class QLineEdit;
class QPushButton;

// The menu's dialog for the three cloud providers' API keys: plain fields
// filled with the stored keys, "Save" (the default button) and "Cancel".
// Saving trims each field and stores the non-empty ones (see APIKeySaver);
// the outcome goes to the alert handler after the dialog has closed.
// "Cancel", Escape and closing the window store nothing.
//
// The keys are read (without blocking) when the dialog is built, so build one
// per opening.
class APIKeyDialog : public MessageDialog
{
    Q_OBJECT

public:
    using AlertHandler = std::function<void(const QString& title, const QString& message)>;

    APIKeyDialog(KeychainService& keychain, AlertHandler alert, QWidget* parent = nullptr);

    // Shows the dialog modal to the whole application without a nested event
    // loop; the outcome arrives through finished() and the alert handler.
    void present();

    QLineEdit* openAIField() const { return m_openAI; }
    QLineEdit* geminiField() const { return m_gemini; }
    QLineEdit* ocrSpaceField() const { return m_ocrSpace; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    void accept() override;

private:
    QLineEdit* addKeyField(const QString& label, const QString& placeholder);
    void setBusy(bool busy);

    APIKeySaver m_saver;
    AlertHandler m_alert;
    QLineEdit* m_openAI = nullptr;
    QLineEdit* m_gemini = nullptr;
    QLineEdit* m_ocrSpace = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
