// Shows the history window over a made-up history, for a look under a real X
// server. Not a test.
//   history_demo [--items N] [--empty] [--search TEXT] [--detail] [--clear]
#include "MemorySecretStore.h"
#include "TestEnvironment.h"
#include "common/Clock.h"
#include "feedback/QtClipboard.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"
#include "views/HistoryWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTextStream>
#include <QTimer>

namespace {

const char* const kSamples[] = {
    "Meeting notes: ship the 2.4 release on Thursday, Alice owns the changelog",
    "sudo apt-get install --no-install-recommends qt6-base-dev cmake ninja-build",
    "Invoice #20931\nTotal due: 1,284.50 EUR\nPayment within 30 days",
    "The quick brown fox jumps over the lazy dog",
    "https://example.org/docs/getting-started?ref=sidebar",
    "Error: connection refused (ECONNREFUSED) at 127.0.0.1:5432",
    "| Item | Price |\n|---|---|\n| Coffee | 3.20 |\n| Croissant | 2.10 |",
    "Le rendez-vous est confirmé pour mardi à 14 h 30.",
    "Gate B42 boarding 18:05",
    "Wi-Fi: CafeGuest  Password: espresso-2024",
    "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
    "incididunt ut labore et dolore magna aliqua.",
    "git rebase --onto main feature~3 feature",
    "Order 7731-A shipped via DHL, tracking 00340434161094012345",
    "Привет! Встреча перенесена на пятницу.",
    "Total: 42 items",
    "def fib(n):\n    return n if n < 2 else fib(n - 1) + fib(n - 2)",
    "Dr. Müller, Praxis am Markt, Tel. 030 1234567",
    "TODO: rotate the API keys before the audit",
    "Serial number: C02XK1ABJG5H",
    "Remember to water the plants 🌱",
};
const qint64 kMinutesAgo[] = {0,    3,    17,    48,    95,    180,   420,   1440,  1700,  2900,
                              4400, 8000, 10100, 14500, 20000, 26000, 30000, 36000, 39000, 42000};

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment env;
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = QApplication::arguments();
    auto option = [&args](const QString& name) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
    };

    AsyncSecretStore secrets(std::make_shared<MemorySecretStore>());
    EncryptionService encryption(secrets);
    HistoryService history(env.dataHome() + QStringLiteral("/quillsnap"), encryption,
                           Clock::system());
    QtClipboard clipboard;

    QList<HistoryItem> items;
    const int count = args.contains(QStringLiteral("--empty"))
                          ? 0
                          : (option(QStringLiteral("--items")).isEmpty()
                                 ? 20
                                 : option(QStringLiteral("--items")).toInt());
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        const int k = i % 20;
        const qint64 minutes = i < 20 ? kMinutesAgo[k] : qint64(i) * 40;
        const bool synced = k % 3 == 1;
        HistoryItem item = HistoryItem::create(
            QString::fromUtf8(kSamples[k]), now.addSecs(-60 * minutes - 20),
            synced ? QStringLiteral("Anna's ThinkPad") : QStringLiteral("desk"));
        item.isSynced = synced;
        items.append(item);
    }
    history.setItems(items);

    HistoryViewHooks hooks;
    hooks.share.openUrl = [&out](const QUrl& url) {
        out << "open " << url.toString(QUrl::FullyEncoded).left(120) << Qt::endl;
        return true;
    };

    QElapsedTimer timer;
    timer.start();
    HistoryWindow window(history, clipboard, hooks);
    QObject::connect(&window, &HistoryWindow::closed, &app, &QCoreApplication::quit);
    struct FirstPaint : QObject
    {
        QElapsedTimer* timer;
        QTextStream* out;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Paint) {
                *out << "first list paint after " << timer->elapsed() << " ms" << Qt::endl;
                o->removeEventFilter(this);
            }
            return false;
        }
    } firstPaint;
    firstPaint.timer = &timer;
    firstPaint.out = &out;
    window.view()->listView()->viewport()->installEventFilter(&firstPaint);
    window.move(40, 40);
    window.show();

    QTimer::singleShot(100, &window, [&] {
        if (const QString search = option(QStringLiteral("--search")); !search.isEmpty()) {
            window.view()->setSearchText(search);
        }
        if (args.contains(QStringLiteral("--detail")) && !history.items().isEmpty()) {
            window.view()->showDetail(history.items().at(1));
        }
        if (args.contains(QStringLiteral("--clear"))) {
            window.view()->requestClearAll();
        }
    });
    return app.exec();
}
