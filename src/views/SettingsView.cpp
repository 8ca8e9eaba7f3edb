#include "views/SettingsView.h"

#include "capture/RecognitionLanguages.h"
#include "common/NotificationHub.h"
#include "feedback/AlertPresenter.h"
#include "feedback/AppIcon.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "hotkeys/KeySequence.h"
#include "providers/GeminiService.h"
#include "providers/OCRSpaceService.h"
#include "providers/OpenAIService.h"
#include "providers/ProviderEndpoint.h"
#include "settings/LoginItem.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "settings/ProviderModels.h"
#include "sync/CloudSyncService.h"
#include "views/APIKeyConfigView.h"
#include "views/BuildInfo.h"
#include "views/PreferenceField.h"
#include "views/RecognitionLanguagesView.h"
#include "views/SegmentedControl.h"
#include "views/SyncSettingsView.h"
#include "views/ViewStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

using namespace ViewStyle;

namespace {

// Widths of the labels before pickers and fields.
constexpr int kOcrLabelWidth = 120;
constexpr int kHistoryLabelWidth = 160;
// The indent of what a disclosure shows; its labels are narrower by as much,
// so its fields line up with the pickers above.
constexpr int kDisclosureIndent = 20;

struct DayChoice
{
    const char* title;
    int days;
};

constexpr DayChoice kAutoDeleteChoices[] = {
    {QT_TRANSLATE_NOOP("SettingsView", "Never"), 0},
    {QT_TRANSLATE_NOOP("SettingsView", "7 days"), 7},
    {QT_TRANSLATE_NOOP("SettingsView", "30 days"), 30},
    {QT_TRANSLATE_NOOP("SettingsView", "90 days"), 90},
};

QPixmap roundedIcon(int size, qreal ratio)
{
    QPixmap pm(QSize(size, size) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter painter(&pm);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, size, size), 12, 12);
    painter.setClipPath(clip);
    AppIcon::application().paint(&painter, QRect(0, 0, size, size));
    return pm;
}

} // namespace

SettingsView::SettingsView(SettingsServices services, QWidget* parent)
    : QScrollArea(parent), m_s(std::move(services))
{
    if (!m_s.openUrl) {
        m_s.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
    if (m_s.languageDirectories.isEmpty()) {
        m_s.languageDirectories = RecognitionLanguages::dataDirectories();
    }
    if (!m_s.network) {
        m_s.network = new QNetworkAccessManager(this);
    }
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(tr("Settings"));
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content = new QWidget(this);
    m_column = new QVBoxLayout(m_content);
    m_column->setContentsMargins(24, 24, 24, 24);
    m_column->setSpacing(16);
    m_column->addWidget(makeSecondaryLabel(tr("Configure quillsnap preferences"),
                                           TextStyle::Subheadline, m_content));
    buildGeneral();
    buildOCR();
    buildHotkey();
    buildClipboard();
    buildHistory();
    if (m_s.sync) {
        addSection(tr("Sync"))
            ->addWidget(new SyncSettingsView(*m_s.sync, *m_s.preferences, m_s.sync->secretStore(),
                                             m_content));
    }
    buildAbout();
    m_column->addStretch(1);
    setWidget(m_content);

    connect(m_s.preferences, &Preferences::changed, this, &SettingsView::onPreferenceChanged);
}

SettingsView::~SettingsView()
{
    delete m_sheet.data();
}

QVBoxLayout* SettingsView::addSection(const QString& title)
{
    if (m_sections++ > 0) {
        m_column->addWidget(makeDivider(m_content));
    }
    auto* section = new QVBoxLayout;
    section->setSpacing(10);
    section->addWidget(makeLabel(title, textFont(TextStyle::Headline), m_content));
    m_column->addLayout(section);
    return section;
}

QWidget* SettingsView::addRow(QVBoxLayout* section, const QString& label, int labelWidth,
                              QWidget* control, QWidget* trailing)
{
    auto* row = new QWidget(m_content);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    QLabel* caption = makeLabel(label, textFont(TextStyle::Body), row);
    caption->setFixedWidth(labelWidth);
    caption->setBuddy(control);
    control->setAccessibleName(label);
    line->addWidget(caption);
    line->addWidget(control);
    if (trailing) {
        line->addWidget(trailing);
    }
    line->addStretch(1);
    section->addWidget(row);
    return row;
}

QCheckBox* SettingsView::addToggle(QVBoxLayout* section, const QString& text, QLatin1StringView key,
                                   bool defaultValue, std::function<void(bool)> changed)
{
    auto* toggle = new QCheckBox(text, m_content);
    Preferences& prefs = *m_s.preferences;
    const auto show = [toggle, &prefs, key, defaultValue] {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(prefs.boolValue(key, defaultValue));
    };
    show();
    m_refresh.insert(QString(key), show);
    connect(toggle, &QCheckBox::toggled, this, [&prefs, key, changed](bool on) {
        prefs.setValue(key, on);
        if (changed) {
            changed(on);
        }
    });
    section->addWidget(toggle);
    return toggle;
}

QLineEdit* SettingsView::addTextField(QVBoxLayout* section, const QString& label, int labelWidth,
                                      QLatin1StringView key,
                                      std::function<QString(QString&)> refusal)
{
    auto* field = new QLineEdit(m_content);
    QLayout* row = addRow(section, label, labelWidth, field)->layout();
    delete row->takeAt(row->count() - 1); // the field takes the rest of the row
    QLabel* problem = makeLabel(QString(), textFont(TextStyle::Caption), m_content);
    problem->setWordWrap(true);
    QPalette red = problem->palette();
    red.setColor(QPalette::WindowText, destructiveRed());
    problem->setPalette(red);
    problem->hide();
    section->addWidget(problem);
    const auto tell = [field, problem](const QString& why) {
        problem->setText(why);
        problem->setVisible(!why.isEmpty());
        field->setAccessibleDescription(why);
    };
    m_refresh.insert(QString(key),
                     bindPreferenceField(field, *m_s.preferences, key, std::move(refusal), tell));
    return field;
}

QLabel* SettingsView::makeLink(const QString& text, const QUrl& url)
{
    auto* link = new QLabel(m_content);
    link->setTextFormat(Qt::RichText);
    link->setText(
        QStringLiteral("<a href=\"%1\" style=\"color: %2; text-decoration: none;\">%3</a>")
            .arg(url.toString().toHtmlEscaped(), accent(palette()).name(), text.toHtmlEscaped()));
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setAccessibleName(text);
    link->setToolTip(url.toString());
    connect(link, &QLabel::linkActivated, this,
            [this](const QString& target) { m_s.openUrl(QUrl(target)); });
    return link;
}

void SettingsView::buildGeneral()
{
    QVBoxLayout* section = addSection(tr("General"));
    m_launchAtLogin = new QCheckBox(tr("Launch at Login"), m_content);
    m_launchAtLogin->setToolTip(
        tr("Start quillsnap when you log in (an entry in your desktop's autostart folder)"));
    m_launchAtLogin->setEnabled(m_s.loginItem != nullptr);
    connect(m_launchAtLogin, &QCheckBox::toggled, this, &SettingsView::setLaunchAtLogin);
    section->addWidget(m_launchAtLogin);

    QCheckBox* tray = addToggle(
        section, tr("Show Tray Icon"), PreferenceKeys::showMenuBarIcon, true, [](bool on) {
            NotificationHub::shared().post(NotificationNames::updateMenuBarVisibility, on);
        });
    tray->setToolTip(tr("Without the icon, start quillsnap again or run \"quillsnap-cli "
                        "settings\" to open this window"));
    section->addWidget(makeDivider(m_content));

    addToggle(section, tr("Automatically check for updates"),
              PreferenceKeys::suEnableAutomaticChecks, true);
    QCheckBox* download = addToggle(section, tr("Automatically download updates"),
                                    PreferenceKeys::suAutomaticallyUpdate, false);
    // Indented under the switch it belongs to, yet usable on its own.
    section->removeWidget(download);
    auto* indent = new QHBoxLayout;
    indent->setContentsMargins(20, 0, 0, 0);
    indent->addWidget(download);
    section->addLayout(indent);

    auto* check = new QPushButton(tr("Check for Updates Now"), m_content);
    check->setEnabled(bool(m_s.checkForUpdates));
    connect(check, &QPushButton::clicked, this, [this] { m_s.checkForUpdates(); });
    section->addWidget(check, 0, Qt::AlignLeft);
}

void SettingsView::buildOCR()
{
    QVBoxLayout* section = addSection(tr("OCR"));
    m_aiEnhanced = new QCheckBox(tr("AI-Enhanced OCR"), m_content);
    m_aiEnhanced->setToolTip(tr("Use AI to improve OCR accuracy and formatting"));
    m_aiEnhanced->setChecked(m_s.preferences->aiEnhancedOCREnabled());
    m_refresh.insert(QString(PreferenceKeys::aiEnhancedOCREnabled), [this] {
        if (!m_aiLookupPending) {
            const QSignalBlocker quiet(m_aiEnhanced);
            m_aiEnhanced->setChecked(m_s.preferences->aiEnhancedOCREnabled());
        }
    });
    connect(m_aiEnhanced, &QCheckBox::toggled, this, &SettingsView::setAIEnhanced);
    section->addWidget(m_aiEnhanced);

    m_provider = new SegmentedControl({{tr("OpenAI"), QString(ProviderIds::openai)},
                                       {tr("Gemini"), QString(ProviderIds::gemini)},
                                       {tr("OCR.space"), QString(ProviderIds::ocrspace)}},
                                      m_content);
    addRow(section, tr("AI Provider"), kOcrLabelWidth, m_provider);
    connect(m_provider, &SegmentedControl::activated, this, [this](const QString& provider) {
        m_s.preferences->setValue(PreferenceKeys::aiProvider, provider);
    });

    m_model = new QComboBox(m_content);
    m_modelRow = addRow(section, tr("AI Model"), kOcrLabelWidth, m_model);
    connect(m_model, &QComboBox::activated, this, [this](int index) {
        const bool openai = m_s.preferences->aiProvider() == ProviderIds::openai;
        m_s.preferences->setValue(openai ? PreferenceKeys::openaiModel
                                         : PreferenceKeys::geminiModel,
                                  m_model->itemData(index));
    });
    for (QLatin1StringView key : {PreferenceKeys::aiProvider, PreferenceKeys::openaiModel,
                                  PreferenceKeys::geminiModel, PreferenceKeys::openaiCustomModel}) {
        m_refresh.insert(QString(key), [this] { refreshModels(); });
    }

    auto* keys = new QPushButton(tr("Configure API Keys..."), m_content);
    connect(keys, &QPushButton::clicked, this, &SettingsView::showAPIKeySheet);
    section->addWidget(keys, 0, Qt::AlignLeft);

    // On-device recognition.
    m_languages = new RecognitionLanguagesView(*m_s.preferences, m_s.languageDirectories,
                                               m_s.network, m_content);
    QWidget* row = addRow(section, tr("Languages"), kOcrLabelWidth, m_languages);
    static_cast<QHBoxLayout*>(row->layout())->setAlignment(Qt::AlignTop);
    row->findChild<QLabel*>()->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    buildAdvancedOCR(section);
    refreshModels(); // once every control it shows is there
}

void SettingsView::buildAdvancedOCR(QVBoxLayout* section)
{
    m_advancedToggle = new QToolButton(m_content);
    m_advancedToggle->setText(tr("Advanced"));
    m_advancedToggle->setCheckable(true);
    m_advancedToggle->setAutoRaise(true);
    // A disclosure, not a button that stays pressed in while open.
    m_advancedToggle->setStyleSheet(
        QStringLiteral("QToolButton { border: 1px solid transparent; border-radius: 4px;"
                       " padding: 1px 4px 1px 0; }"
                       " QToolButton:focus { border-color: palette(highlight); }"));
    m_advancedToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_advancedToggle->setArrowType(Qt::RightArrow);
    m_advancedToggle->setToolTip(tr("Your own server: provider addresses and a model name"));
    section->addWidget(m_advancedToggle, 0, Qt::AlignLeft);
    m_advanced = new QWidget(m_content);
    auto* group = new QVBoxLayout(m_advanced);
    group->setContentsMargins(kDisclosureIndent, 0, 0, 0);
    group->setSpacing(10);
    section->addWidget(m_advanced);

    // Refused as the clients refuse them, before a request: the key would
    // otherwise travel in clear or to a place the user did not mean.
    const auto refusal = [this](const QString& text) {
        const auto url = ProviderEndpoint::resolve(text, QString(), QString());
        if (url) {
            return QString();
        }
        return url.error() == ProviderEndpoint::Problem::insecure
                   ? tr("Not saved: plain http:// is allowed only to this computer (localhost, "
                        "127.0.0.1, ::1), as the key would travel unencrypted. Use https://.")
                   : tr("Not saved: enter an address such as https://host:port/path, without "
                        "user name, query or fragment.");
    };
    const int labelWidth = kOcrLabelWidth - kDisclosureIndent;
    struct Endpoint
    {
        QString label;
        QString provider;
        QLatin1StringView key;
        const QString& defaultURL;
    };
    const Endpoint endpoints[] = {
        {tr("OpenAI URL"), tr("OpenAI"), PreferenceKeys::openaiBaseURL,
         OpenAIService::defaultBaseURL},
        {tr("Gemini URL"), tr("Gemini"), PreferenceKeys::geminiBaseURL,
         GeminiService::defaultBaseURL},
        {tr("OCR.space URL"), tr("OCR.space"), PreferenceKeys::ocrSpaceBaseURL,
         OCRSpaceService::defaultBaseURL},
    };
    bool customized = false;
    for (const Endpoint& endpoint : endpoints) {
        QLineEdit* field = addTextField(group, endpoint.label, labelWidth, endpoint.key, refusal);
        field->setPlaceholderText(endpoint.defaultURL);
        field->setToolTip(tr("The address of the %1 API, or of a server of yours that speaks "
                             "it; empty: the public service")
                              .arg(endpoint.provider));
        customized = customized || !field->text().isEmpty();
        if (endpoint.key == PreferenceKeys::openaiBaseURL) {
            // Beside the OpenAI address: a local server's models have names
            // of their own. Its placeholder is the picker's model.
            m_customModel = addTextField(group, tr("OpenAI Model"), labelWidth,
                                         PreferenceKeys::openaiCustomModel);
            m_customModel->setToolTip(
                tr("A model name of your own, used instead of the AI Model chosen above; "
                   "empty: the chosen one"));
            customized = customized || !m_customModel->text().isEmpty();
        }
    }

    connect(m_advancedToggle, &QToolButton::toggled, this, [this](bool open) {
        m_advancedToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_advanced->setVisible(open);
    });
    // Collapsed unless something in it is set: where requests go is never
    // out of sight once it is not the default.
    m_advancedToggle->setChecked(customized);
    m_advanced->setVisible(customized);
}

void SettingsView::buildHotkey()
{
    QVBoxLayout* section = addSection(tr("Hotkey"));
    m_hotkey = new QLabel(m_content);
    m_hotkey->setTextFormat(Qt::PlainText);
    m_hotkey->setFont(textFont(TextStyle::Body));
    m_hotkey->setStyleSheet(
        QStringLiteral("QLabel { background-color: rgba(128, 128, 128, 38); border-radius: 6px;"
                       " padding: 6px 12px; }"));
    auto* configure = new QPushButton(tr("Configure..."), m_content);
    configure->setToolTip(tr("Record a new key sequence"));
    connect(configure, &QPushButton::clicked, this,
            [] { NotificationHub::shared().post(NotificationNames::showHotkeyRecorder); });
    QWidget* row = addRow(section, tr("Global Hotkey"), kOcrLabelWidth, m_hotkey, configure);
    // The sequence is text to read, not a control: the row's label names it.
    m_hotkey->setAccessibleName(QString());
    row->setAccessibleName(tr("Global Hotkey"));
    m_refresh.insert(QString(PreferenceKeys::hotkeySequence), [this] { refreshHotkey(); });
    refreshHotkey();
}

void SettingsView::buildClipboard()
{
    QVBoxLayout* section = addSection(tr("Clipboard"));
    QCheckBox* additive = addToggle(section, tr("Additive Clipboard Mode"),
                                    PreferenceKeys::additiveClipboardEnabled, false, [](bool on) {
                                        NotificationHub::shared().post(
                                            NotificationNames::updateAdditiveClipboard, on);
                                    });
    additive->setToolTip(tr("Append multiple captures to clipboard instead of replacing"));
}

void SettingsView::buildHistory()
{
    QVBoxLayout* section = addSection(tr("History"));
    m_maxItems = new QSpinBox(m_content);
    m_maxItems->setRange(0, int(HistoryService::maxItems));
    m_maxItems->setFixedWidth(80);
    m_maxItems->setKeyboardTracking(false); // written once the number is complete
    if (auto* edit = m_maxItems->findChild<QLineEdit*>()) {
        edit->setAccessibleName(tr("Max History Items"));
    }
    m_maxItems->setToolTip(tr("The newest captures up to this number are kept, at most %1; 0 "
                              "keeps no history")
                               .arg(HistoryService::maxItems));
    m_itemsUnit = makeSecondaryLabel(QString(), TextStyle::Body, m_content);
    addRow(section, tr("Max History Items"), kHistoryLabelWidth, m_maxItems, m_itemsUnit);
    connect(m_maxItems, &QSpinBox::valueChanged, this, [this](int value) {
        m_s.preferences->setValue(PreferenceKeys::maxHistoryItems, value);
    });

    m_autoDelete = new QComboBox(m_content);
    m_autoDelete->setFixedWidth(150);
    addRow(section, tr("Auto-Delete After"), kHistoryLabelWidth, m_autoDelete);
    connect(m_autoDelete, &QComboBox::activated, this, [this](int index) {
        m_s.preferences->setValue(PreferenceKeys::autoDeleteAfterDays,
                                  m_autoDelete->itemData(index));
    });
    for (QLatin1StringView key :
         {PreferenceKeys::maxHistoryItems, PreferenceKeys::autoDeleteAfterDays}) {
        m_refresh.insert(QString(key), [this] { refreshHistoryLimits(); });
    }
    refreshHistoryLimits();

    auto* clear = new QPushButton(tr("Clear History..."), m_content);
    connect(clear, &QPushButton::clicked, this, &SettingsView::confirmClearHistory);
    section->addWidget(clear, 0, Qt::AlignLeft);
}

void SettingsView::buildAbout()
{
    QVBoxLayout* section = addSection(tr("About"));
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    auto* icon = new QLabel(m_content);
    icon->setPixmap(roundedIcon(64, devicePixelRatioF()));
    icon->setFixedSize(64, 64);
    icon->setAccessibleName(QString()); // the name beside it says it all
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(
        makeLabel(QStringLiteral("quillsnap"), ViewStyle::font(22, QFont::Bold), m_content));
    QLabel* version = makeSecondaryLabel(tr("Version %1").arg(BuildInfo::versionText()),
                                         TextStyle::Subheadline, m_content);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->addWidget(version);
    QLabel* website = makeLink(tr("Visit Website"), BuildInfo::website());
    website->setFont(textFont(TextStyle::Caption));
    text->addWidget(website, 0, Qt::AlignLeft);
    row->addLayout(text);
    row->addStretch(1);
    section->addLayout(row);
}

void SettingsView::showEvent(QShowEvent* event)
{
    refreshSystemState();
    QScrollArea::showEvent(event);
}

void SettingsView::refreshSystemState()
{
    const QSignalBlocker quiet(m_launchAtLogin);
    m_launchAtLogin->setChecked(m_s.loginItem ? m_s.loginItem->isEnabled()
                                              : m_s.preferences->launchAtLogin());
    refreshHotkey();
}

void SettingsView::onPreferenceChanged(const QString& key)
{
    for (const auto& refresh : m_refresh.values(key)) {
        refresh();
    }
}

void SettingsView::setLaunchAtLogin(bool enabled)
{
    const auto changed = m_s.loginItem->setEnabled(enabled);
    // The switch and the stored choice follow what the session will do.
    const bool now = m_s.loginItem->isEnabled();
    {
        const QSignalBlocker quiet(m_launchAtLogin);
        m_launchAtLogin->setChecked(now);
    }
    m_s.preferences->setValue(PreferenceKeys::launchAtLogin, now);
    if (!changed) {
        m_s.alerts->showInformation(
            tr("Launch at Login"),
            (enabled ? tr("quillsnap could not be set to start at login: %1.")
                     : tr("quillsnap could not be kept from starting at login: %1."))
                .arg(changed.error()));
    }
}

void SettingsView::setAIEnhanced(bool enabled)
{
    Preferences& prefs = *m_s.preferences;
    if (!enabled) {
        m_aiLookupPending = false;
        prefs.setValue(PreferenceKeys::aiEnhancedOCREnabled, false);
        return;
    }
    const auto refuse = [this] {
        const QSignalBlocker quiet(m_aiEnhanced);
        m_aiEnhanced->setChecked(false);
        showAPIKeySheet();
    };
    const QLatin1StringView account = KeychainService::accountForProvider(prefs.aiProvider());
    if (account.isEmpty()) {
        refuse();
        return;
    }
    // Switched on only once the provider's key is known to be there.
    m_aiLookupPending = true;
    m_s.keychain->readKey(account, this, [this, refuse](const KeychainService::KeyLookup& lookup) {
        if (!m_aiLookupPending) {
            return; // switched off again meanwhile
        }
        m_aiLookupPending = false;
        if (lookup.found()) {
            m_s.preferences->setValue(PreferenceKeys::aiEnhancedOCREnabled, true);
        } else {
            refuse();
        }
    });
}

void SettingsView::refreshModels()
{
    const Preferences& prefs = *m_s.preferences;
    const QString provider = prefs.aiProvider();
    m_provider->setValue(provider);
    m_modelRow->setVisible(provider != ProviderIds::ocrspace);
    // Any provider but OpenAI shows the Gemini models, as the Gemini client
    // is the one that reads the model the picker then writes.
    const bool openai = provider == ProviderIds::openai;
    const QString current = openai ? prefs.openaiModel() : prefs.geminiModelForMenu();
    const QSignalBlocker quiet(m_model);
    m_model->clear();
    const auto add = [this](const auto& models) {
        for (const ModelChoice& choice : models) {
            m_model->addItem(QString(choice.title), QString(choice.identifier));
        }
    };
    openai ? add(openAIModels) : add(geminiModels);
    if (m_model->findData(current) < 0) {
        // A model this version does not list stays as it is, shown by name.
        m_model->addItem(current, current);
    }
    m_model->setCurrentIndex(m_model->findData(current));
    m_customModel->setPlaceholderText(prefs.openaiModel());
    const QString custom = prefs.openaiCustomModel();
    m_model->setToolTip(openai && !custom.isEmpty()
                            ? tr("Requests use the model \"%1\" named under Advanced").arg(custom)
                            : QString());
}

void SettingsView::refreshHistoryLimits()
{
    const qint64 items = m_s.preferences->maxHistoryItems();
    {
        const QSignalBlocker quiet(m_maxItems);
        m_maxItems->setValue(int(std::min<qint64>(items, HistoryService::maxItems)));
    }
    m_itemsUnit->setText(items == 0 ? tr("items (no history is kept)") : tr("items"));

    const qint64 days = m_s.preferences->autoDeleteAfterDays();
    const QSignalBlocker quiet(m_autoDelete);
    m_autoDelete->clear();
    for (const DayChoice& choice : kAutoDeleteChoices) {
        m_autoDelete->addItem(tr(choice.title), choice.days);
    }
    if (m_autoDelete->findData(int(days)) < 0) {
        // A number of days set elsewhere is shown, not replaced.
        m_autoDelete->addItem(days == 1 ? tr("1 day") : tr("%1 days").arg(days), int(days));
    }
    m_autoDelete->setCurrentIndex(m_autoDelete->findData(int(days)));
}

void SettingsView::refreshHotkey()
{
    const auto stored = m_s.preferences->stringValue(PreferenceKeys::hotkeySequence);
    const auto sequence = stored ? KeySequence::fromJSONString(*stored) : std::nullopt;
    m_hotkey->setText(sequence.value_or(KeySequence::defaultSequence()).displayString());
}

void SettingsView::confirmClearHistory()
{
    QPointer<SettingsView> self(this);
    m_s.alerts->ask(tr("Clear History"),
                    tr("Are you sure you want to clear all history items? This action cannot be "
                       "undone."),
                    {tr("Clear"), tr("Cancel")}, 1, AlertPresenter::Style::warning,
                    [self](int chosen) {
                        if (!self || chosen != 0) {
                            return;
                        }
                        HistoryService& history = self->m_s.history();
                        history.setItems({});
                        history.saveHistory();
                    });
}

void SettingsView::showAPIKeySheet()
{
    if (m_sheet) {
        m_sheet->raise();
        m_sheet->activateWindow();
        return;
    }
    m_sheet = new APIKeyConfigView(*m_s.keychain, window(), m_s.openUrl);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet->open();
}

APIKeyConfigView* SettingsView::apiKeySheet() const
{
    return m_sheet;
}
