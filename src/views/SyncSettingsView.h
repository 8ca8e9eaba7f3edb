#pragma once

#include <QHash>
#include <QWidget>

#include <functional>

class AsyncSecretStore;
class CloudSyncService;
class Preferences;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class SegmentedControl;

// The "Sync" section of the settings window: the "Enable Sync" switch, the
// sync method (a WebDAV collection or a synced folder) with the fields of
// the chosen one, the sync passphrase and "Test Connection".
//
// Addresses, the user name and the folder are preferences, written when
// editing finishes (an emptied field removes the key; a refused address
// stays in the field with the reason under it). The WebDAV password and the
// passphrase live in the keyring, read and written off the main thread; a
// secret is written only once the user changed it, so that a keyring that
// could not be read never has its items overwritten with an empty field.
class SyncSettingsView : public QWidget
{
    Q_OBJECT
public:
    SyncSettingsView(CloudSyncService& sync, Preferences& preferences, AsyncSecretStore& secrets,
                     QWidget* parent = nullptr);

    QCheckBox* enableSwitch() const { return m_switch; }
    SegmentedControl* methodPicker() const { return m_method; }
    QWidget* webdavGroup() const { return m_webdav; }
    QWidget* folderGroup() const { return m_folderGroup; }
    QPushButton* testButton() const { return m_test; }
    QLabel* testResult() const { return m_result; }

private:
    // A row of a label of fixed width, which also names the control, the
    // control and what follows it.
    QWidget* addRow(QVBoxLayout* layout, const QString& label, QWidget* control,
                    QWidget* trailing = nullptr);
    // A red line under a field, hidden while empty.
    QLabel* addProblem(QVBoxLayout* layout);
    // A field showing a String preference. refusal() turns the text into the
    // value to store, or into the reason it cannot be stored.
    QLineEdit* addPreferenceField(QVBoxLayout* layout, const QString& label, QLatin1StringView key,
                                  std::function<QString(QString&)> refusal = {},
                                  QWidget* trailing = nullptr);
    // note: the field's description while nothing is wrong.
    QLineEdit* addSecretField(QVBoxLayout* layout, const QString& label, QLatin1StringView account,
                              const QString& note = {});
    void chooseFolder();
    void refreshMethod();
    void refreshStatus();
    void testConnection();
    void setResult(const QString& text, bool works);

    CloudSyncService& m_sync;
    Preferences& m_preferences;
    AsyncSecretStore& m_secrets;
    // What shows each preference again after a change elsewhere, by key.
    QHash<QString, std::function<void()>> m_refresh;

    QCheckBox* m_switch = nullptr;
    QLabel* m_status = nullptr;
    SegmentedControl* m_method = nullptr;
    QWidget* m_webdav = nullptr;
    QWidget* m_folderGroup = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_result = nullptr;
};
