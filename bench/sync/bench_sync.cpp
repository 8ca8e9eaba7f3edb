// A sync run that finds nothing new, with 1000 records in the database, on
// rclone serving WebDAV on loopback and in a local folder. The baseline,
// measured in the same run: the least such a run must do, reading the key
// check and listing the records (one GET and one PROPFIND, or a file read
// and a directory listing on this thread). For scale, the cost of
// fetching every record (what a run that does not skip known records pays),
// and the first run of a machine that has none of them.
//   bench_sync [runs]
#include "sync/EncryptedCloudDatabase.h"
#include "sync/WebDAVStorage.h"

#include "SyncHome.h"
#include "WebDAVServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int recordCount = 1000;

double median(int runs, const std::function<void()>& work)
{
    std::vector<double> ms;
    work(); // warm-up
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool wait(const std::function<bool()>& done)
{
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// One request as the storage sends it, without the sync around it.
void rawRequest(QNetworkAccessManager& network, const QUrl& url, const QByteArray& verb,
                const QByteArray& body)
{
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Basic " + QByteArray("tester:s3cret").toBase64());
    if (verb == "PROPFIND") {
        request.setRawHeader("Depth", "1");
    }
    QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
    wait([reply] { return reply->isFinished(); });
    if (verb == "PROPFIND" && !WebDAVStorage::parseMultistatus(reply->readAll())) {
        std::fprintf(stderr, "listing failed\n");
    }
    reply->deleteLater();
}

// Every record through the database's query, nothing skipped.
int fetchEverything(CloudDatabase& database)
{
    int records = 0;
    bool done = false;
    std::function<void(const CloudCursor&)> page = [&](const CloudCursor& cursor) {
        database.fetchPage(
            CloudQuery(), cursor, CloudSyncService::pageSize,
            [&records](CloudDatabase::Result<CloudRecord> r) { records += r ? 1 : 0; },
            [&](CloudDatabase::Result<CloudCursor> next) {
                if (next && *next) {
                    page(*next);
                } else {
                    done = true;
                }
            });
    };
    page(CloudCursor());
    wait([&done] { return done; });
    return records;
}

// One sync run, waited for without the polling of QTest.
CloudSyncService::RunResult runSync(CloudSyncService& sync)
{
    std::optional<CloudSyncService::RunResult> result;
    sync.performSync([&result](CloudSyncService::RunResult r) { result = std::move(r); });
    wait([&result] { return result.has_value(); });
    return *result;
}

void report(const char* name, double ms, double baseline, int requests)
{
    std::printf("  %-44s %9.2f ms  %6.1fx baseline  %5d requests\n", name, ms, ms / baseline,
                requests);
}

int benchmark(const QString& backend, const QString& location, const QUrl& listingUrl, int runs)
{
    SyncHome a(QStringLiteral("bench-a"), backend, location);
    for (int i = 0; i < recordCount; ++i) {
        a.capture(QStringLiteral("benchmark capture number %1 with some words in it").arg(i), i);
    }
    if (const auto r = a.run(); !r) {
        std::fprintf(stderr, "upload failed: %s\n", qPrintable(r.error()));
        return 1;
    }
    // A new machine: its first run fetches all of them.
    SyncHome b(QStringLiteral("bench-b"), backend, location);
    QElapsedTimer timer;
    timer.start();
    const auto first = runSync(*b.sync);
    const double firstMs = double(timer.nsecsElapsed()) / 1e6;
    const int firstRequests = b.sync->requestCount();
    if (!first || first->downloaded != recordCount) {
        std::fprintf(stderr, "first run fetched %d\n", first ? first->downloaded : -1);
        return 1;
    }

    QNetworkAccessManager network;
    const double baseline = median(runs, [&] {
        if (listingUrl.isValid()) {
            rawRequest(network, listingUrl.resolved(QUrl(QStringLiteral("../quillsnap-sync.json"))),
                       "GET", {});
            rawRequest(network, listingUrl, "PROPFIND", {});
        } else {
            QFile check(location + QStringLiteral("/quillsnap-sync.json"));
            (void)(check.open(QIODevice::ReadOnly) && !check.readAll().isEmpty());
            (void)QDir(location + QStringLiteral("/records")).entryInfoList(QDir::Files);
        }
    });
    int requests = b.sync->requestCount();
    int runCount = 0;
    const double nothingNew = median(runs, [&] {
        const auto r = runSync(*b.sync);
        runCount += r && r->downloaded + r->uploaded == 0 ? 1 : 0;
    });
    requests = (b.sync->requestCount() - requests) / (runs + 1);

    // A database of its own, opened, for the query without skipping.
    EncryptedCloudDatabase database(
        SyncConfiguration::make(backend, location, QStringLiteral("tester"), location)
            ->makeStorage("s3cret"),
        "correct horse battery staple");
    std::optional<bool> opened;
    database.checkAccount([&opened](CloudDatabase::Result<void> r) { opened = r.hasValue(); });
    wait([&opened] { return opened.has_value(); });
    int fetched = 0;
    const int before = database.requestCount();
    const double everything = median(runs, [&] { fetched = fetchEverything(database); });
    const int everythingRequests = (database.requestCount() - before) / (runs + 1);

    std::printf("%s: %d records in the database, median of %d runs\n", qPrintable(backend),
                recordCount, runs);
    report(listingUrl.isValid() ? "baseline: GET key check + PROPFIND, bare"
                                : "baseline: read key check + list folder, bare",
           baseline, baseline, 2);
    report("run finding nothing new", nothingNew, baseline, requests);
    report("fetching every record (no skipping)", everything, baseline, everythingRequests);
    report("first run of a new machine (1000 new)", firstMs, baseline, firstRequests);
    if (runCount != runs + 1 || fetched != recordCount) {
        std::fprintf(stderr, "unexpected: %d quiet runs, %d fetched\n", runCount, fetched);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 11;
    WebDAVServer server;
    if (!server.isRunning()) {
        return 1;
    }
    const QString location = server.url(QStringLiteral("quillsnap")).toString();
    int status = benchmark(QStringLiteral("webdav"), location,
                           server.url(QStringLiteral("quillsnap/records/")), runs);
    QTemporaryDir folder;
    status |= benchmark(QStringLiteral("folder"), folder.filePath(QStringLiteral("quillsnap")),
                        QUrl(), runs);
    return status;
}
