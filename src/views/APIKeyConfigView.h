#pragma once

#include <QDialog>
#include <QUrl>

#include <array>
#include <functional>

class KeychainService;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

// The settings window's sheet for the three cloud providers' API keys: one
// tab per provider with a masked field and a link to the page where that
// provider issues keys.
//
// The fields are filled with the stored keys when the sheet opens. "Save
// Keys" (Return) stores every non-empty field as typed, removes the key of
// each field the user emptied, then says "Settings saved successfully!" and
// closes a second later. A field that showed no key (none stored, or the
// keyring could not be read) removes nothing when left empty. When the
// keyring refuses, the sheet says which key failed and stays open. "Cancel",
// the close button and Escape store nothing.
class APIKeyConfigView : public QDialog
{
    Q_OBJECT
public:
    enum Provider { OpenAI, Gemini, OCRSpace };
    static constexpr int closeDelayMs = 1000;

    using UrlOpener = std::function<bool(const QUrl&)>;

    // openUrl: how the key pages are opened; null: the desktop's browser.
    APIKeyConfigView(KeychainService& keychain, QWidget* parent = nullptr, UrlOpener openUrl = {});

    QTabWidget* tabs() const { return m_tabs; }
    QLineEdit* field(Provider provider) const { return m_fields[provider]; }
    QLabel* link(Provider provider) const { return m_links[provider]; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }
    QToolButton* closeButton() const { return m_close; }
    // The green confirmation and the red failure line; hidden when not in use.
    QLabel* successMessage() const { return m_success; }
    QLabel* failureMessage() const { return m_failure; }

public slots:
    // "Save Keys".
    void accept() override;

private:
    void setBusy(bool busy);
    void saveFrom(int index);
    void finishSaving();

    KeychainService& m_keychain;
    UrlOpener m_openUrl;
    QTabWidget* m_tabs = nullptr;
    std::array<QLineEdit*, 3> m_fields{};
    std::array<QLabel*, 3> m_links{};
    // Whether the field was filled with a stored key when the sheet opened.
    std::array<bool, 3> m_showedKey{};
    QLabel* m_success = nullptr;
    QLabel* m_failure = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
    QToolButton* m_close = nullptr;
    bool m_loading = true;
    bool m_saving = false;
};
