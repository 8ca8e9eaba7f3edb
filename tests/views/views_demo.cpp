// Shows one window over made-up data, for a look under a real X server.
// Not a test.
//   views_demo onboarding [--asks] | history [--empty] [--search TEXT] [--detail] [--clear]
//             [--sync [--sync-fails]] | apikeys | settings [--advanced] [--scroll Y]
//             | apikeysheet | addlanguages
#include "ViewsFixture.h"

#include "settings/PreferenceKeys.h"
#include "sync/CloudSyncService.h"
#include "views/SyncFooter.h"

#include <QApplication>
#include <QLayout>
#include <QScrollBar>
#include <QToolButton>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ViewsFixture f;
    const QStringList args = QApplication::arguments();
    const QString name = args.value(1, QStringLiteral("history"));
    f.clock.set(QDateTime::currentDateTime());
    f.addSamples(args.contains(QStringLiteral("--empty")) ? 0 : 20);
    KeychainService::saveKeyNow(*f.keyring, QStringLiteral("sk-proj-demo0123456789"),
                                KeychainService::openAIKeyAccount);

    QWidget* window = nullptr;
    const auto owner = f.makeWindow(
        args.contains(QStringLiteral("--asks")) ? name + QStringLiteral("-asks") : name, window);
    window->move(40, 40);
    window->show();
    if (auto* history = qobject_cast<HistoryWindow*>(window)) {
        const qsizetype search = args.indexOf(QStringLiteral("--search"));
        history->view()->setSearchText(search > 0 ? args.value(search + 1) : QString());
        if (args.contains(QStringLiteral("--detail"))) {
            history->view()->showDetail(f.history.items().at(1));
        }
        if (args.contains(QStringLiteral("--clear"))) {
            history->view()->requestClearAll();
        }
        if (args.contains(QStringLiteral("--sync"))) {
            // Sync to a folder of the temporary home, switched on.
            f.prefs.setValue(PreferenceKeys::syncBackend, QStringLiteral("folder"));
            f.prefs.setValue(PreferenceKeys::syncFolder, f.env.root());
            if (!args.contains(QStringLiteral("--sync-fails"))) {
                f.keyring->set(QString(SyncConfiguration::keychainService),
                               QString(SyncConfiguration::passphraseAccount), "demo");
            }
            auto* sync = new CloudSyncService(
                f.prefs, f.secrets, [&f]() -> HistoryService& { return f.history; }, f.dataDir,
                f.clock, history);
            QWidget* footer = history->view()->footer();
            footer->layout()->addWidget(new SyncFooter(*sync, footer));
            sync->setICloudSyncEnabled(true);
        }
    }
    if (auto* settings = qobject_cast<SettingsWindow*>(window)) {
        if (args.contains(QStringLiteral("--advanced"))) {
            settings->view()->advancedToggle()->setChecked(true);
        }
        const qsizetype scroll = args.indexOf(QStringLiteral("--scroll"));
        if (scroll > 0) {
            settings->view()->verticalScrollBar()->setValue(args.value(scroll + 1).toInt());
        }
    }
    return app.exec();
}
