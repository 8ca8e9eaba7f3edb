#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

// What the tray menu shows; everything it depends on, read at build time.
struct AppMenuState
{
    QString keySequenceText; // the key sequence as the menu shows it
    bool additiveClipboard = false;
    bool aiEnhanced = false;
    QString provider;    // the stored identifier, possibly unknown
    QString openaiModel; // the stored identifier
    QString geminiModel; // the stored identifier
    bool settingsAvailable = false;
    bool updatesAvailable = false;
};

// Builds the tray menu whole from a state; the menu is rebuilt, never patched,
// after every change. Choices come out as signals.
class AppMenu : public QObject
{
    Q_OBJECT
public:
    explicit AppMenu(QObject* parent = nullptr);
    ~AppMenu() override;

    // Replaces the current menu with one built from state and returns it.
    QMenu* rebuild(const AppMenuState& state);
    QMenu* menu() const { return m_menu.get(); }
    // The first item, whose title names the key sequence.
    QAction* captureAction() const { return m_captureAction; }

    static QString captureTitle(const QString& keySequenceText);

signals:
    void captureRequested();
    void scanRequested();
    void additiveToggled();
    void historyRequested();
    void aiEnhancedToggled();
    void providerSelected(const QString& identifier);
    void openAIModelSelected(const QString& identifier);
    void geminiModelSelected(const QString& identifier);
    void apiKeysRequested();
    void settingsRequested();
    void updateCheckRequested();
    void quitRequested();

private:
    std::unique_ptr<QMenu> m_menu;
    QPointer<QAction> m_captureAction;
};
