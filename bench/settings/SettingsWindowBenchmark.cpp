// Time from choosing "Settings..." in the tray menu to the settings window
// painted on screen, against a trivial window of the same size opened and
// painted the same way in the same process. The application is built as
// main() builds it (real preferences, keyring, login item), in a private
// home. Prints the first opening (fonts and styles still cold) and the median
// of the later ones (each replacing the window before it).
//   bench_settings [runs]
#include "app/AppDelegate.h"
#include "app/OCRCaptureService.h"
#include "capture/OCRService.h"
#include "common/Clock.h"
#include "feedback/AlertPresenter.h"
#include "feedback/QtClipboard.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "platform/DesktopNotifier.h"
#include "platform/SecretStoreFactory.h"
#include "platform/XdgAutostartLoginItem.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/SettingsWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

// Notes the first paint of any widget of a window of the given kind.
class PaintWatch : public QObject
{
public:
    std::function<bool(QWidget*)> belongs;
    bool painted = false;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            belongs(static_cast<QWidget*>(watched)->window())) {
            painted = true;
        }
        return false;
    }
};

// Runs open() and returns the milliseconds until the window it opened has
// been painted and flushed (the event loop pass that painted it is over).
double timeToPaint(PaintWatch& watch, const std::function<void()>& open)
{
    watch.painted = false;
    QElapsedTimer timer;
    timer.start();
    open();
    while (!watch.painted) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (timer.elapsed() > 5000) {
            qFatal("the window was never painted");
        }
    }
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    for (const char* sub : {"config", "data", "runtime"}) {
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    }
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath(QStringLiteral("runtime"))));

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 30;

    Preferences preferences(home.filePath(QStringLiteral("config/quillsnap/quillsnap.conf")));
    preferences.setValue(PreferenceKeys::hasCompletedOnboarding, true);
    AsyncSecretStore secrets(SecretStoreFactory::create());
    KeychainService keychain(secrets);
    EncryptionService encryption(secrets);
    std::optional<HistoryService> history;
    QtClipboard clipboard;
    OCRCaptureService capture(OCRService::shared());
    DesktopNotifier notifier;
    XdgAutostartLoginItem loginItem;

    AppDelegate::Services services;
    services.preferences = &preferences;
    services.history = [&]() -> HistoryService& {
        if (!history) {
            history.emplace(home.filePath(QStringLiteral("data")), encryption, Clock::system());
        }
        return *history;
    };
    services.keychain = &keychain;
    services.clipboard = &clipboard;
    services.capture = &capture;
    services.notifier = &notifier;
    services.alerts = &AlertPresenter::shared();
    services.loginItem = &loginItem;
    AppDelegate delegate(services);
    delegate.start();
    QAction* settings = nullptr;
    for (QAction* action : delegate.menu()->actions()) {
        settings = action->text() == QLatin1String("Settings...") ? action : settings;
    }

    PaintWatch settingsPaint;
    settingsPaint.belongs = [](QWidget* w) { return qobject_cast<SettingsWindow*>(w); };
    PaintWatch trivialPaint;
    trivialPaint.belongs = [](QWidget* w) { return w->objectName() == u"trivial"; };
    app.installEventFilter(&settingsPaint);
    app.installEventFilter(&trivialPaint);

    std::unique_ptr<QWidget> trivial;
    const auto openTrivial = [&trivial] {
        trivial = std::make_unique<QWidget>();
        trivial->setObjectName(QStringLiteral("trivial"));
        (new QVBoxLayout(trivial.get()))->addWidget(new QLabel(QStringLiteral("Settings")));
        trivial->resize(SettingsWindow::defaultSize);
        trivial->show();
    };
    QList<double> trivialMs, settingsMs;
    for (int i = 0; i <= runs; ++i) { // interleaved, so that load on the machine hits both
        trivialMs << timeToPaint(trivialPaint, openTrivial);
        settingsMs << timeToPaint(settingsPaint, [settings] { settings->trigger(); });
    }
    const double trivialFirst = trivialMs.takeFirst();
    const double settingsFirst = settingsMs.takeFirst();
    QTextStream out(stdout);
    out << QStringLiteral("%1 runs, platform %2\n").arg(runs).arg(QApplication::platformName());
    out << QStringLiteral("%1 %2 %3  (ms, menu choice to painted)\n")
               .arg(QStringLiteral("case"), -32)
               .arg(QStringLiteral("first"), 8)
               .arg(QStringLiteral("median"), 8);
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("baseline: trivial 600x550 window"), -32)
               .arg(trivialFirst, 8, 'f', 1)
               .arg(median(trivialMs), 8, 'f', 1);
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("settings window from the menu"), -32)
               .arg(settingsFirst, 8, 'f', 1)
               .arg(median(settingsMs), 8, 'f', 1);
    out << QStringLiteral("ratio settings / baseline (median): %1\n")
               .arg(median(settingsMs) / median(trivialMs), 0, 'f', 1);
    delegate.shutdown();
    return 0;
}
