#include "views/SyncSettingsView.h"

#include "history/AsyncSecretStore.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/CloudSyncService.h"
#include "sync/SyncConfiguration.h"
#include "views/PreferenceField.h"
#include "views/SegmentedControl.h"
#include "views/ViewStyle.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace ViewStyle;

namespace {

// As wide as the labels of the settings window's OCR section, so that the
// fields line up with its pickers.
constexpr int kLabelWidth = 120;

void setColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QString sentence(QString text)
{
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

} // namespace

SyncSettingsView::SyncSettingsView(CloudSyncService& sync, Preferences& preferences,
                                   AsyncSecretStore& secrets, QWidget* parent)
    : QWidget(parent), m_sync(sync), m_preferences(preferences), m_secrets(secrets)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    m_switch = new QCheckBox(tr("Enable Sync"), this);
    m_switch->setToolTip(
        tr("Sync your capture history between your machines, end-to-end encrypted, through a "
           "WebDAV server or a synced folder"));
    column->addWidget(m_switch);
    m_status = addProblem(column);
    m_status->setContentsMargins(0, 0, 0, 0);
    connect(m_switch, &QCheckBox::toggled, &m_sync, &CloudSyncService::setICloudSyncEnabled);
    connect(&m_sync, &CloudSyncService::iCloudSyncEnabledChanged, this,
            &SyncSettingsView::refreshStatus);
    connect(&m_sync, &CloudSyncService::syncStatusChanged, this, &SyncSettingsView::refreshStatus);

    m_method =
        new SegmentedControl({{tr("WebDAV"), QString(SyncConfiguration::webdavBackend)},
                              {tr("Synced Folder"), QString(SyncConfiguration::folderBackend)}},
                             this);
    addRow(column, tr("Sync Method"), m_method);
    connect(m_method, &SegmentedControl::activated, this, [this](const QString& backend) {
        m_preferences.setValue(PreferenceKeys::syncBackend, backend);
    });
    m_refresh.insert(QString(PreferenceKeys::syncBackend), [this] { refreshMethod(); });

    m_webdav = new QWidget(this);
    auto* webdav = new QVBoxLayout(m_webdav);
    webdav->setContentsMargins(0, 0, 0, 0);
    webdav->setSpacing(10);
    column->addWidget(m_webdav);
    QLineEdit* url = addPreferenceField(
        webdav, tr("Server Address"), PreferenceKeys::syncWebDAVURL, [](QString& text) {
            const auto checked = SyncConfiguration::checkedWebDAVURL(text);
            return checked ? QString() : tr("Not saved: %1.").arg(checked.error());
        });
    url->setPlaceholderText(
        QStringLiteral("https://cloud.example.org/remote.php/dav/files/me/quillsnap"));
    url->setToolTip(tr("The WebDAV folder that holds the sync data, for example a folder of "
                       "your Nextcloud"));
    addPreferenceField(webdav, tr("User Name"), PreferenceKeys::syncWebDAVUser);
    addSecretField(webdav, tr("Password"), SyncConfiguration::passwordAccount);

    m_folderGroup = new QWidget(this);
    auto* folder = new QVBoxLayout(m_folderGroup);
    folder->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_folderGroup);
    auto* choose = new QPushButton(tr("Choose..."), this);
    choose->setToolTip(tr("Choose the folder"));
    m_folder = addPreferenceField(
        folder, tr("Folder"), PreferenceKeys::syncFolder,
        [](QString& text) {
            if (text == u'~' || text.startsWith(QLatin1String("~/"))) {
                text = QDir::homePath() + text.mid(1);
            }
            const auto config =
                SyncConfiguration::make(QString(SyncConfiguration::folderBackend), {}, {}, text);
            if (!config) {
                return tr("Not saved: %1.").arg(config.error());
            }
            text = config->folder;
            return QString();
        },
        choose);
    m_folder->setPlaceholderText(QDir::homePath() + QStringLiteral("/Sync/quillsnap"));
    m_folder->setToolTip(tr("A folder that Syncthing, Nextcloud, Dropbox or a similar tool keeps "
                            "the same on all your machines"));
    connect(choose, &QPushButton::clicked, this, &SyncSettingsView::chooseFolder);

    const QString note =
        tr("Every machine you sync needs the same passphrase. It never leaves this computer.");
    QLineEdit* passphrase =
        addSecretField(column, tr("Passphrase"), SyncConfiguration::passphraseAccount, note);
    passphrase->setToolTip(tr("The history is encrypted with it before it leaves this computer"));
    QLabel* about = makeSecondaryLabel(note, TextStyle::Caption, this);
    about->setWordWrap(true);
    about->setContentsMargins(kLabelWidth + 8, 0, 0, 0);
    column->addWidget(about);

    m_test = new QPushButton(tr("Test Connection"), this);
    m_test->setToolTip(tr("Check that the server or folder answers and that the passphrase "
                          "matches the one of your other machines"));
    m_result = makeLabel(QString(), textFont(TextStyle::Callout), this);
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* test = new QHBoxLayout;
    test->setSpacing(12);
    test->addWidget(m_test, 0, Qt::AlignTop);
    test->addWidget(m_result, 1);
    column->addLayout(test);
    connect(m_test, &QPushButton::clicked, this, &SyncSettingsView::testConnection);

    connect(&m_preferences, &Preferences::changed, this, [this](const QString& key) {
        if (const auto refresh = m_refresh.value(key)) {
            refresh();
            setResult({}, false); // an answer about other settings
        }
    });
    refreshMethod();
    refreshStatus();
}

QWidget* SyncSettingsView::addRow(QVBoxLayout* layout, const QString& label, QWidget* control,
                                  QWidget* trailing)
{
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    QLabel* caption = makeLabel(label, textFont(TextStyle::Body), row);
    caption->setFixedWidth(kLabelWidth);
    caption->setBuddy(control);
    control->setAccessibleName(label);
    line->addWidget(caption);
    line->addWidget(control, qobject_cast<QLineEdit*>(control) ? 1 : 0);
    if (trailing) {
        line->addWidget(trailing);
    }
    if (!qobject_cast<QLineEdit*>(control)) {
        line->addStretch(1);
    }
    layout->addWidget(row);
    return row;
}

QLabel* SyncSettingsView::addProblem(QVBoxLayout* layout)
{
    QLabel* problem = makeLabel(QString(), textFont(TextStyle::Caption), this);
    problem->setWordWrap(true);
    problem->setContentsMargins(kLabelWidth + 8, 0, 0, 0);
    setColour(problem, destructiveRed());
    problem->hide();
    layout->addWidget(problem);
    return problem;
}

QLineEdit* SyncSettingsView::addPreferenceField(QVBoxLayout* layout, const QString& label,
                                                QLatin1StringView key,
                                                std::function<QString(QString&)> refusal,
                                                QWidget* trailing)
{
    auto* field = new QLineEdit(this);
    addRow(layout, label, field, trailing);
    QLabel* problem = addProblem(layout);
    const auto tell = [field, problem](const QString& why) {
        problem->setText(why);
        problem->setVisible(!why.isEmpty());
        field->setAccessibleDescription(why);
    };
    m_refresh.insert(QString(key),
                     bindPreferenceField(field, m_preferences, key, std::move(refusal), tell));
    return field;
}

QLineEdit* SyncSettingsView::addSecretField(QVBoxLayout* layout, const QString& label,
                                            QLatin1StringView account, const QString& note)
{
    auto* field = new QLineEdit(this);
    field->setEchoMode(QLineEdit::Password);
    field->setPlaceholderText(tr("Reading the keyring..."));
    addRow(layout, label, field);
    QLabel* problem = addProblem(layout);
    const auto tell = [field, problem, note](const QString& why) {
        problem->setText(why);
        problem->setVisible(!why.isEmpty());
        field->setAccessibleDescription(why.isEmpty() ? note : why);
    };
    tell({});
    const QString service(SyncConfiguration::keychainService);
    m_secrets.read(this, service, QString(account),
                   [this, field, tell](const SecretStore::Lookup& lookup) {
                       field->setPlaceholderText(QString());
                       if (lookup.status == SecretStore::Status::Unavailable) {
                           tell(tr("Cannot be read: %1 is locked or does not answer.")
                                    .arg(m_secrets.displayName()));
                       } else if (!field->isModified()) {
                           // What the user typed meanwhile stays.
                           field->setText(QString::fromUtf8(lookup.secret));
                       }
                   });
    connect(field, &QLineEdit::editingFinished, this, [this, field, tell, service, account] {
        if (!field->isModified()) {
            return;
        }
        field->setModified(false);
        const QByteArray secret = field->text().toUtf8();
        QPointer<QLineEdit> guard(field);
        const auto saved = [this, guard, tell](SecretStore::Status status) {
            if (status == SecretStore::Status::Ok) {
                tell({});
                setResult({}, false);
                return;
            }
            tell(tr("Not saved: %1 is locked or does not answer.").arg(m_secrets.displayName()));
            if (guard) {
                guard->setModified(true); // saved again when editing finishes next
            }
        };
        if (secret.isEmpty()) {
            m_secrets.remove(this, service, QString(account), saved);
        } else {
            m_secrets.write(this, service, QString(account), secret, saved);
        }
    });
    return field;
}

void SyncSettingsView::chooseFolder()
{
    // Not the static helper: that runs an event loop of its own.
    auto* dialog = new QFileDialog(window(), tr("Choose Sync Folder"), m_folder->text());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        m_folder->setText(path);
        emit m_folder->editingFinished();
    });
    dialog->open();
}

void SyncSettingsView::refreshMethod()
{
    const QString backend = m_preferences.stringValue(PreferenceKeys::syncBackend)
                                .value_or(QString(SyncConfiguration::webdavBackend));
    m_method->setValue(backend);
    m_webdav->setVisible(backend == SyncConfiguration::webdavBackend);
    m_folderGroup->setVisible(backend == SyncConfiguration::folderBackend);
}

void SyncSettingsView::refreshStatus()
{
    {
        const QSignalBlocker quiet(m_switch);
        m_switch->setChecked(m_sync.iCloudSyncEnabled());
    }
    // Why turning it on did not work, or why the last run failed.
    const SyncStatus status = m_sync.syncStatus();
    const bool failed = m_sync.iCloudSyncEnabled() && status.state == SyncStatus::State::error;
    m_status->setText(failed ? status.message : QString());
    m_status->setVisible(failed);
    m_switch->setAccessibleDescription(m_status->text());
}

void SyncSettingsView::testConnection()
{
    m_test->setEnabled(false);
    setColour(m_result, secondaryText(palette()));
    m_result->setText(tr("Checking..."));
    QPointer<SyncSettingsView> self(this);
    m_sync.checkAccountStatus([self](Expected<void, QString> checked) {
        if (!self) {
            return;
        }
        self->m_test->setEnabled(true);
        self->setResult(checked ? tr("Connection works.") : sentence(checked.error()),
                        checked.hasValue());
    });
}

void SyncSettingsView::setResult(const QString& text, bool works)
{
    if (!m_test->isEnabled()) {
        return; // a check is under way: its answer comes
    }
    setColour(m_result, works ? success() : destructiveRed());
    m_result->setText(text);
    m_test->setAccessibleDescription(text);
}
