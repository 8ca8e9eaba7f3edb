#include "app/AppMenu.h"

#include "settings/PreferenceKeys.h"
#include "settings/ProviderModels.h"

#include <QActionGroup>

AppMenu::AppMenu(QObject* parent) : QObject(parent) {}

AppMenu::~AppMenu() = default;

QString AppMenu::captureTitle(const QString& keySequenceText)
{
    return keySequenceText.isEmpty() ? tr("Capture Screenshot")
                                     : tr("Capture Screenshot (%1)").arg(keySequenceText);
}

namespace {
QAction* addCheckable(QMenu* menu, const QString& title, bool checked)
{
    QAction* action = menu->addAction(title);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}
} // namespace

QMenu* AppMenu::rebuild(const AppMenuState& state)
{
    // The old menu may be open or still referenced by the tray: let the event
    // loop delete it once this turn is over.
    if (m_menu) {
        m_menu.release()->deleteLater();
    }
    m_menu = std::make_unique<QMenu>();
    QMenu* menu = m_menu.get();

    m_captureAction = menu->addAction(captureTitle(state.keySequenceText));
    connect(m_captureAction, &QAction::triggered, this, &AppMenu::captureRequested);
    connect(menu->addAction(tr("Scan QR/Barcode")), &QAction::triggered, this,
            &AppMenu::scanRequested);
    connect(addCheckable(menu, tr("Additive Clipboard"), state.additiveClipboard),
            &QAction::triggered, this, &AppMenu::additiveToggled);
    menu->addSeparator();

    QAction* history = menu->addAction(tr("History..."));
    history->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    connect(history, &QAction::triggered, this, &AppMenu::historyRequested);
    menu->addSeparator();

    connect(addCheckable(menu, tr("AI-Enhanced OCR"), state.aiEnhanced), &QAction::triggered, this,
            &AppMenu::aiEnhancedToggled);

    QMenu* providers = menu->addMenu(tr("AI Provider"));
    const auto addProvider = [&](QLatin1StringView id, const QString& title) {
        QAction* action = addCheckable(providers, title, state.provider == id);
        connect(action, &QAction::triggered, this,
                [this, id] { emit providerSelected(QString(id)); });
    };
    addProvider(ProviderIds::openai, tr("OpenAI"));
    if (state.provider == ProviderIds::openai) {
        providers->addSeparator();
        QMenu* models = providers->addMenu(tr("OpenAI Model"));
        for (const ModelChoice& m : openAIModels) {
            QAction* action =
                addCheckable(models, QString(m.title), state.openaiModel == m.identifier);
            action->setData(QString(m.identifier));
            connect(action, &QAction::triggered, this,
                    [this, id = m.identifier] { emit openAIModelSelected(QString(id)); });
        }
    }
    addProvider(ProviderIds::gemini, tr("Google Gemini"));
    if (state.provider == ProviderIds::gemini) {
        providers->addSeparator();
        QMenu* models = providers->addMenu(tr("Gemini Model"));
        for (const ModelChoice& m : geminiModels) {
            QAction* action =
                addCheckable(models, QString(m.title), state.geminiModel == m.identifier);
            action->setData(QString(m.identifier));
            connect(action, &QAction::triggered, this,
                    [this, id = m.identifier] { emit geminiModelSelected(QString(id)); });
        }
    }
    addProvider(ProviderIds::ocrspace, tr("OCR.space"));

    connect(menu->addAction(tr("Configure API Keys...")), &QAction::triggered, this,
            &AppMenu::apiKeysRequested);
    menu->addSeparator();

    QAction* settings = menu->addAction(tr("Settings..."));
    settings->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    settings->setEnabled(state.settingsAvailable);
    connect(settings, &QAction::triggered, this, &AppMenu::settingsRequested);
    menu->addSeparator();

    QAction* updates = menu->addAction(tr("Check for Updates..."));
    updates->setEnabled(state.updatesAvailable);
    connect(updates, &QAction::triggered, this, &AppMenu::updateCheckRequested);
    menu->addSeparator();

    QAction* quit = menu->addAction(tr("Quit"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quit, &QAction::triggered, this, &AppMenu::quitRequested);
    return menu;
}
