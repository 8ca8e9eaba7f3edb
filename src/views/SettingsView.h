#pragma once

#include <QMultiHash>
#include <QPointer>
#include <QScrollArea>
#include <QUrl>

#include <functional>

class AlertPresenter;
class APIKeyConfigView;
class CloudSyncService;
class HistoryService;
class KeychainService;
class LoginItem;
class Preferences;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QPushButton;
class QSpinBox;
class QToolButton;
class QVBoxLayout;
class RecognitionLanguagesView;
class SegmentedControl;

// What the settings window works with; every pointer must outlive it.
struct SettingsServices
{
    Preferences* preferences = nullptr;
    KeychainService* keychain = nullptr;
    AlertPresenter* alerts = nullptr;
    // Null: "Launch at Login" cannot be changed here.
    LoginItem* loginItem = nullptr;
    // Loaded on first use ("Clear History..."), not when the window opens.
    std::function<HistoryService&()> history;
    // Null: "Check for Updates Now" is shown but cannot be used.
    std::function<void()> checkForUpdates;
    // Null: links open in the desktop's browser.
    std::function<bool(const QUrl&)> openUrl;
    // The tessdata folders; languages are downloaded to the last one.
    // Empty: the system's and the user's (RecognitionLanguages).
    QStringList languageDirectories;
    // For language downloads; null: the window makes its own.
    QNetworkAccessManager* network = nullptr;
    // Null: no "Sync" section.
    CloudSyncService* sync = nullptr;
};

// The content of the "Settings" window: one scrolling column of sections
// (General, OCR, Hotkey, Clipboard, History, Sync when there is a sync
// service, About). Each control
// shows its preference (the reader's default when the key is absent) and
// writes it when the user changes the control; changes made elsewhere (the
// tray menu, the key recorder) show at once. Changes that must take effect
// at once are announced through the notification hub.
//
// Two controls show the system rather than a stored value: "Launch at
// Login" (whether the login item is there; a failure to change it is told
// in an alert and the switch stays as things are) and the global key
// sequence. Both are read again whenever the window is shown.
class SettingsView : public QScrollArea
{
    Q_OBJECT
public:
    explicit SettingsView(SettingsServices services, QWidget* parent = nullptr);
    ~SettingsView() override;

    // Opens the API-key sheet over the window, or brings the open one up.
    void showAPIKeySheet();
    APIKeyConfigView* apiKeySheet() const;

    // Reads the login item and the key sequence again.
    void refreshSystemState();

    // The controls that are not found by their text.
    SegmentedControl* providerPicker() const { return m_provider; }
    QComboBox* modelPicker() const { return m_model; }
    QLabel* hotkeyText() const { return m_hotkey; }
    QSpinBox* maxItemsField() const { return m_maxItems; }
    QComboBox* autoDeletePicker() const { return m_autoDelete; }
    RecognitionLanguagesView* languages() const { return m_languages; }
    // The "Advanced" disclosure of the OCR section and what it shows.
    QToolButton* advancedToggle() const { return m_advancedToggle; }
    QWidget* advancedGroup() const { return m_advanced; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QVBoxLayout* addSection(const QString& title);
    // A row of a label of fixed width, which also names the control, and
    // the control; returns the row's widget.
    QWidget* addRow(QVBoxLayout* section, const QString& label, int labelWidth, QWidget* control,
                    QWidget* trailing = nullptr);
    // A switch showing a Bool preference with the reader's default; the
    // preference is written when the user flips it, then changed() runs.
    QCheckBox* addToggle(QVBoxLayout* section, const QString& text, QLatin1StringView key,
                         bool defaultValue, std::function<void(bool)> changed = {});
    // A field showing a String preference, written trimmed when editing
    // finishes; an emptied field removes the key. refusal() tells why a value
    // cannot be stored (empty: it can); such a value stays in the field with
    // the reason under it, and the preference stays as it was.
    QLineEdit* addTextField(QVBoxLayout* section, const QString& label, int labelWidth,
                            QLatin1StringView key, std::function<QString(QString&)> refusal = {});
    QLabel* makeLink(const QString& text, const QUrl& url);

    void buildGeneral();
    void buildOCR();
    void buildAdvancedOCR(QVBoxLayout* section);
    void buildHotkey();
    void buildClipboard();
    void buildHistory();
    void buildAbout();

    void onPreferenceChanged(const QString& key);
    void setLaunchAtLogin(bool enabled);
    void setAIEnhanced(bool enabled);
    void refreshModels();
    void refreshHistoryLimits();
    void refreshHotkey();
    void confirmClearHistory();

    SettingsServices m_s;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_column = nullptr;
    int m_sections = 0;
    // What shows each preference again after a change elsewhere, by key.
    QMultiHash<QString, std::function<void()>> m_refresh;

    QCheckBox* m_launchAtLogin = nullptr;
    QCheckBox* m_aiEnhanced = nullptr;
    bool m_aiLookupPending = false;
    SegmentedControl* m_provider = nullptr;
    QWidget* m_modelRow = nullptr;
    QComboBox* m_model = nullptr;
    QToolButton* m_advancedToggle = nullptr;
    QWidget* m_advanced = nullptr;
    QLineEdit* m_customModel = nullptr;
    QLabel* m_hotkey = nullptr;
    QSpinBox* m_maxItems = nullptr;
    QLabel* m_itemsUnit = nullptr;
    QComboBox* m_autoDelete = nullptr;
    RecognitionLanguagesView* m_languages = nullptr;
    QPointer<APIKeyConfigView> m_sheet;
};
