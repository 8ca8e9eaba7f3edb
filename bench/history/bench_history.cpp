// Saving and loading a full history (1000 records of 500 characters),
// encrypted and on disk, against a baseline measured in the same run: the
// JSON encoding and decoding of the same list in memory, without encryption
// or disk. Prints the medians of repeated runs, in wall-clock time and in CPU
// time of the thread (the latter is steadier on a busy machine).
//   bench_history [runs]

#include "common/Clock.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"

#include "MemorySecretStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <time.h>

namespace {

QString sampleText(QRandomGenerator& rng)
{
    static const QStringList words{
        QStringLiteral("invoice"), QStringLiteral("Grüße"),      QStringLiteral("total"),
        QStringLiteral("€42,00"),  QStringLiteral("naïve"),      QStringLiteral("résumé"),
        QStringLiteral("line"),    QStringLiteral("quillsnap"),  QStringLiteral("Straße"),
        QStringLiteral("OCR"),     QStringLiteral("\U0001F44D"), QStringLiteral("table")};
    QString text;
    while (text.size() < 500) {
        text += words.at(rng.bounded(qsizetype(words.size())));
        text += rng.bounded(8) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    text.truncate(500);
    return text;
}

struct Timing
{
    double wallMs;
    double cpuMs;
};

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

Timing median(int runs, const std::function<void()>& work)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    work(); // warm-up
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        work();
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void report(const char* name, Timing t, const Timing* baseline)
{
    std::printf("  %-34s wall %7.2f ms  cpu %7.2f ms", name, t.wallMs, t.cpuMs);
    if (baseline) {
        std::printf("  (%.2fx / %.2fx baseline)", t.wallMs / baseline->wallMs,
                    t.cpuMs / baseline->cpuMs);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 31;

    QTemporaryDir dir;
    AsyncSecretStore secrets(std::make_shared<MemorySecretStore>());
    EncryptionService encryption(secrets);
    ManualClock clock;
    HistoryService history(dir.filePath(QStringLiteral("data")), encryption, clock);
    // The key is fetched once, off the main thread; the figures below are
    // for the saves and loads that follow.
    bool haveKey = false;
    encryption.requestKey([&](EncryptionService::KeyResult r) { haveKey = bool(r); });
    while (!haveKey) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }

    QRandomGenerator rng(42);
    QList<HistoryItem> items;
    for (int i = 0; i < 1000; ++i) {
        items.append(HistoryItem::create(sampleText(rng), clock.now().addSecs(-60 * i),
                                         QStringLiteral("bench")));
    }
    history.setItems(items);
    history.saveHistory();
    const qint64 stored =
        QFileInfo(history.storagePath(HistoryService::encryptedStorageKey)).size();

    const Timing baseEncode = median(runs, [&] { (void)HistoryItem::encodeListJson(items); });
    const QByteArray json = *HistoryItem::encodeListJson(items);
    const Timing baseDecode = median(runs, [&] { (void)HistoryItem::decodeListJson(json); });
    const Timing save = median(runs, [&] { history.saveHistory(); });
    const Timing load = median(runs, [&] { history.loadHistory(); });
    if (history.items().size() != items.size()) {
        std::fprintf(stderr, "load returned %lld records\n", qlonglong(history.items().size()));
        return 1;
    }

    std::printf("history: 1000 records x 500 characters, %lld bytes stored, median of %d runs\n",
                qlonglong(stored), runs);
    report("baseline: JSON encode in memory", baseEncode, nullptr);
    report("baseline: JSON decode in memory", baseDecode, nullptr);
    report("saveHistory (encrypted, to disk)", save, &baseEncode);
    report("loadHistory (from disk, decrypted)", load, &baseDecode);
    const bool met = save.cpuMs <= 10.0 && load.cpuMs <= 10.0;
    std::printf("  target at most 10 ms each (cpu): %s\n", met ? "met" : "NOT met");
    return 0;
}
