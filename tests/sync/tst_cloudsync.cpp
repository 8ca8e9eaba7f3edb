#include "sync/SyncFormat.h"

#include "CaseTable.h"
#include "FaultProxy.h"
#include "SyncHome.h"
#include "WebDAVServer.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QTcpServer>

using namespace Qt::StringLiterals;

namespace {

// Where two homes meet: a collection on a real WebDAV server, or a folder.
struct SharedStore
{
    std::unique_ptr<WebDAVServer> server;
    QTemporaryDir folder;

    // planting: the test puts files into the server's directory itself.
    explicit SharedStore(const QString& backend, bool planting = false)
    {
        if (backend == u"webdav"_s) {
            server = std::make_unique<WebDAVServer>(planting);
        }
    }
    QString location() const
    {
        return server ? server->url(u"quillsnap"_s).toString() : folder.filePath(u"quillsnap"_s);
    }
    QString root() const { return (server ? server->root() : folder.path()) + u"/quillsnap"_s; }
    QStringList records() const { return QDir(root() + u"/records"_s).entryList(QDir::Files); }
    QByteArray allBytes() const
    {
        QByteArray all;
        QDirIterator it(root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            all += read(it.next());
        }
        return all;
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString& path, const QByteArray& data) const
    {
        QFile file(root() + u'/' + path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }
    // A record as another machine with the homes' passphrase seals it.
    QByteArray seal(const CloudRecord& record) const
    {
        const auto check = SyncFormat::parseKeyCheck(read(root() + u"/quillsnap-sync.json"_s));
        const QByteArray key = SyncFormat::deriveKey("correct horse battery staple", check->salt);
        return SyncFormat::sealRecord(key, check->salt, record.recordName, record.fields);
    }
};

// A run's outcome: "up N down N pages N,N", or its error.
QString moved(const CloudSyncService::RunResult& r)
{
    QStringList pages;
    for (const int size : r ? r->pageSizes : QList<int>()) {
        pages << QString::number(size);
    }
    return r ? u"up %1 down %2 pages %3"_s.arg(r->uploaded).arg(r->downloaded).arg(pages.join(u','))
             : r.error();
}

void addBackends()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("webdav") << u"webdav"_s;
    QTest::newRow("folder") << u"folder"_s;
}

} // namespace

class TestCloudSync : public QObject
{
    Q_OBJECT
private slots:
    void exchangeBothWays_data() { addBackends(); }
    void exchangeBothWays()
    {
        QFETCH(QString, backend);
        SharedStore store(backend);
        SyncHome a(u"alpha-pc"_s, backend, store.location());
        SyncHome b(u"beta-pc"_s, backend, store.location());
        for (int i = 0; i < 120; ++i) {
            a.capture(u"alpha secret %1"_s.arg(i), 2 * i);
            b.capture(u"beta secret %1"_s.arg(i), 2 * i + 1);
        }
        QCOMPARE(moved(a.run()), u"up 120 down 0 pages 0"_s);
        QCOMPARE(moved(b.run()), u"up 120 down 120 pages 50,50,20"_s);
        QCOMPARE(moved(a.run()), u"up 0 down 120 pages 50,50,20"_s);
        QCOMPARE(a.texts().size(), 240);
        QCOMPARE(a.texts(), b.texts());
        QCOMPARE(store.records().size(), 240);
        // Each at its place in time; remote ones synced under their id.
        const HistoryItem& second = a.history().items().at(1);
        QCOMPARE(a.history().items().at(0).text, u"alpha secret 0"_s);
        QCOMPARE(second.text, u"beta secret 0"_s);
        QVERIFY(second.isSynced && second.cloudRecordID == second.idText());
        QCOMPARE(second.deviceName, u"beta-pc"_s);

        // A second run moves nothing, fetches nothing, writes nothing: the
        // key check and one listing.
        for (SyncHome* home : {&a, &b}) {
            const int before = home->sync->requestCount();
            const QString file = home->dataDir() + u"/captureHistoryEncrypted"_s;
            const QByteArray stored = SharedStore::read(file);
            QCOMPARE(moved(home->run()), u"up 0 down 0 pages 0"_s);
            QCOMPARE(home->sync->requestCount() - before, 2);
            QCOMPARE(SharedStore::read(file), stored);
        }
        const QByteArray onServer = store.allBytes();
        for (const char* text : {"secret", "alpha-pc", "beta-pc", "deviceName"}) {
            QVERIFY2(!onServer.contains(text), text);
        }
    }

    void recordsThatCannotBeMerged_data() { addBackends(); }
    void recordsThatCannotBeMerged()
    {
        QFETCH(QString, backend);
        SharedStore store(backend, true);
        SyncHome a(u"alpha"_s, backend, store.location());
        SyncHome b(u"beta"_s, backend, store.location());
        a.capture(u"one"_s, 3);
        a.capture(u"two"_s, 2);
        QVERIFY(a.run());
        // Another machine's records: one without "deviceName", one still
        // arriving (half of it), a sync tool's temporary file, a stray file.
        const CloudRecord late =
            CloudRecord::fromItem(HistoryItem::create(u"late"_s, a.clock.now()));
        CloudRecord bare = CloudRecord::fromItem(HistoryItem::create(u"bare"_s, a.clock.now()));
        bare.fields.remove(u"deviceName"_s);
        const QByteArray lateFile = store.seal(late);
        store.write(SyncFormat::recordPath(bare.recordName), store.seal(bare));
        store.write(SyncFormat::recordPath(late.recordName), lateFile.left(lateFile.size() / 2));
        store.write(u"records/.%1.qsr.x1.tmp"_s.arg(late.recordName), lateFile);
        store.write(u"records/notes.txt"_s, "not a record");
        auto r = b.run();
        QCOMPARE(b.texts(), (QStringList{u"one"_s, u"two"_s}));
        QCOMPARE(r->unreadable, 2);
        // Complete now: merged at the next run; the bare one stays out.
        store.write(SyncFormat::recordPath(late.recordName), lateFile);
        QCOMPARE(b.run()->downloaded, 1);
        const QStringList all{u"late"_s, u"one"_s, u"two"_s};
        QCOMPARE(b.texts(), all);
        // Deleted here, still on the server: it comes back.
        b.history().remove(b.history().items().constLast().id);
        b.history().saveHistory();
        QCOMPARE(b.texts().size(), 2);
        QCOMPARE(b.run()->downloaded, 1);
        QCOMPARE(b.texts(), all);
    }

    void wrongPassphraseMovesNothing_data() { addBackends(); }
    void wrongPassphraseMovesNothing()
    {
        QFETCH(QString, backend);
        SharedStore store(backend);
        SyncHome a(u"alpha"_s, backend, store.location());
        a.capture(u"from alpha"_s);
        QVERIFY(a.run());
        SyncHome b(u"beta"_s, backend, store.location(), "another passphrase");
        b.capture(u"from beta"_s);
        const QByteArray before = store.allBytes();
        const auto r = b.run();
        const SyncStatus refused = SyncStatus::error(
            u"Sync is not available: The sync passphrase does not match the one used on your "
            u"other machines."_s);
        QCOMPARE(r ? QString() : r.error(), refused.message);
        QCOMPARE(b.sync->syncStatus(), refused);
        QCOMPARE(store.allBytes(), before);
        QCOMPARE(b.texts(), QStringList{u"from beta"_s});
        QCOMPARE(b.unsynced(), 1);
        // Turning the switch on checks again and schedules nothing.
        const int requests = b.sync->requestCount();
        b.sync->setICloudSyncEnabled(true);
        QTRY_VERIFY(b.sync->requestCount() > requests);
        QTest::qWait(100);
        QCOMPARE(b.sync->syncStatus(), refused);
        QVERIFY(!b.sync->isAutoSyncScheduled());
    }

    void failingServerLosesNothing_data()
    {
        // backend; fault ("500 after N requests", "silent", "closed", "no
        // parent"); captures uploaded before it; the start of the error. A
        // fresh run's requests: key check (GET 404, MKCOL x2, PUT, GET), a PUT
        // per capture, the listing.
        rows({u"webdav→500 after 0→0→Sync is not available: The server answered 500",
              u"webdav→500 after 7→2→The server answered 500",
              u"webdav→500 after 10→5→The server answered 500",
              u"webdav→silent→0→Sync is not available: 127.0.0.1 did not answer in time",
              u"webdav→closed→0→Sync is not available: Cannot reach 127.0.0.1",
              u"folder→no parent→0→Sync is not available: The sync folder"});
    }
    void failingServerLosesNothing()
    {
        const QStringList f = fields();
        const QString backend = f[0], fault = f[1], error = f[3];
        const int before = f[2].toInt();
        SharedStore store(backend);
        std::unique_ptr<FaultProxy> proxy;
        QString location = store.folder.filePath(u"missing/quillsnap"_s);
        if (fault == u"closed"_s) {
            QTcpServer closed;
            closed.listen(QHostAddress::LocalHost);
            location = u"http://127.0.0.1:%1/quillsnap"_s.arg(closed.serverPort());
        } else if (store.server) {
            proxy = std::make_unique<FaultProxy>(store.server->url());
            proxy->passBeforeFault = fault.section(u' ', -1).toInt();
            proxy->fault =
                fault == u"silent"_s ? FaultProxy::Fault::silence : FaultProxy::Fault::error500;
            location = proxy->url(u"quillsnap"_s).toString();
        }
        SyncHome a(u"alpha"_s, backend, location);
        for (int i = 0; i < 5; ++i) {
            a.capture(u"capture %1"_s.arg(i), i);
        }
        const QStringList texts = a.texts();
        const auto r = a.run();
        QVERIFY2(!r && r.error().startsWith(error), qPrintable(r ? u"ok"_s : r.error()));
        QCOMPARE(a.sync->syncStatus().state, SyncStatus::State::error);
        for (int start = 0; start < 2; ++start, a.restart()) { // in memory, then on disk
            QCOMPARE(a.texts(), texts);
            QCOMPARE(a.unsynced(), 5 - before);
        }
        // Once the server answers, the rest goes up, nothing twice.
        if (proxy) {
            proxy->passBeforeFault = -1;
        } else {
            a.preferences.setValue(PreferenceKeys::syncWebDAVURL, store.location());
            a.preferences.setValue(PreferenceKeys::syncFolder, store.location());
        }
        QCOMPARE(a.run()->uploaded, 5 - before);
        QCOMPARE(store.records().size(), 5);
    }

    void twoMachinesSetUpAtOnce_data() { addBackends(); }
    void twoMachinesSetUpAtOnce()
    {
        QFETCH(QString, backend);
        SharedStore store(backend);
        SyncHome a(u"alpha"_s, backend, store.location());
        SyncHome b(u"beta"_s, backend, store.location());
        a.capture(u"from alpha"_s);
        b.capture(u"from beta"_s);
        // Both find no database and set one up, each under its own salt;
        // whichever key check stays, every record can be read.
        QList<CloudSyncService::RunResult> results;
        for (SyncHome* home : {&a, &b}) {
            home->sync->performSync([&](CloudSyncService::RunResult r) { results.append(r); });
        }
        QVERIFY(QTest::qWaitFor([&] { return results.size() == 2; }, 60000));
        QVERIFY(results.at(0) && results.at(1) && a.run() && b.run());
        QCOMPARE(a.texts(), (QStringList{u"from alpha"_s, u"from beta"_s}));
        QCOMPARE(b.texts(), a.texts());
    }

    void oldRecordsAreNotFetchedAgain()
    {
        SharedStore store(u"folder"_s);
        SyncHome a(u"alpha"_s, u"folder"_s, store.location());
        SyncHome b(u"beta"_s, u"folder"_s, store.location());
        a.capture(u"old"_s);
        QVERIFY(a.run());
        // A month on, both histories drop the record; the database keeps it.
        for (SyncHome* home : {&a, &b}) {
            home->clock.advance(31LL * 24 * 3600 * 1000);
            home->capture(u"new from %1"_s.arg(home->deviceName));
        }
        QCOMPARE(a.run()->downloaded, 0);
        QCOMPARE(a.texts(), QStringList{u"new from alpha"_s});
        // Fetched once by a machine that never saw it, then never again.
        QCOMPARE(moved(b.run()), u"up 1 down 1 pages 2"_s);
        const int before = b.sync->requestCount();
        QCOMPARE(moved(b.run()), u"up 0 down 0 pages 0"_s);
        QCOMPARE(b.sync->requestCount() - before, 2);
    }

    void runsAreSerialisedCapturesGoAtOnce()
    {
        SharedStore store(u"folder"_s);
        SyncHome a(u"alpha"_s, u"folder"_s, store.location());
        SyncHome b(u"beta"_s, u"folder"_s, store.location());
        const auto upload = [&a](const HistoryItem& item) {
            std::optional<Expected<void, CloudError>> done;
            a.sync->uploadItem(item, [&](Expected<void, CloudError> r) { done = r; });
            return QTest::qWaitFor([&] { return done.has_value(); }) && *done;
        };
        // Off: a capture does not go up; turned on, the first run sends it.
        QVERIFY(upload(a.capture(u"while off"_s)));
        QCOMPARE(store.records().size(), 0);
        a.sync->setICloudSyncEnabled(true);
        QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::success());
        const HistoryItem item = a.capture(u"while on"_s);
        QVERIFY(upload(item));
        QCOMPARE(store.records().size(), 2);
        QCOMPARE(a.history().items().first().cloudRecordID, item.idText());
        // Three runs asked for at once: the second and third share the run
        // after the first; each record is merged once.
        QList<CloudSyncService::RunResult> results;
        for (int i = 0; i < 3; ++i) {
            b.sync->performSync([&](CloudSyncService::RunResult r) { results.append(r); });
        }
        QVERIFY(QTest::qWaitFor([&] { return results.size() == 3; }, 30000));
        QCOMPARE(results.at(0)->downloaded, 2);
        QCOMPARE(results.at(1)->downloaded, 0);
        QCOMPARE(results.at(2)->pageSizes, results.at(1)->pageSizes);
        QCOMPARE(b.history().items().size(), 2);
    }

    void statusSwitchAndTimer()
    {
        SharedStore store(u"folder"_s);
        SyncHome a(u"alpha"_s, u"folder"_s, store.location());
        QSignalSpy spy(a.sync.get(), &CloudSyncService::syncStatusChanged);
        const auto seen = [&spy] {
            QList<SyncStatus> states;
            for (const auto& args : spy) {
                states.append(args.at(0).value<SyncStatus>());
            }
            return states;
        };
        // On without a passphrase: the reason, and no timer.
        a.setSecret(SyncConfiguration::passphraseAccount, {});
        a.sync->setICloudSyncEnabled(true);
        QTRY_COMPARE(a.sync->syncStatus(),
                     SyncStatus::error(u"Sync is not available: no sync passphrase is set"_s));
        QVERIFY(!a.sync->isAutoSyncScheduled() && a.preferences.iCloudSyncEnabled());
        QCOMPARE(a.sync->lastSyncText(), u"Never"_s);
        // With one: a run at once, "success" for its time, then one run per
        // interval.
        a.sync->setICloudSyncEnabled(false);
        a.setSecret(SyncConfiguration::passphraseAccount, "passphrase");
        a.sync->setSuccessDuration(std::chrono::milliseconds(300));
        a.sync->setAutoSyncInterval(std::chrono::milliseconds(2000));
        spy.clear();
        a.sync->setICloudSyncEnabled(true);
        QTRY_COMPARE(seen(), (QList<SyncStatus>{SyncStatus::syncing(), SyncStatus::success(),
                                                SyncStatus::idle()}));
        QCOMPARE(a.sync->lastSyncText(), u"just now"_s);
        QVERIFY(QTest::qWaitFor([&] { return spy.count() >= 9; }, 30000));
        // Off: the run under way ends, no other starts.
        QTRY_VERIFY_WITH_TIMEOUT(a.sync->isSyncing(), 15000);
        a.sync->setICloudSyncEnabled(false);
        QVERIFY(!a.sync->isAutoSyncScheduled());
        QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::success());
        const qsizetype settled = spy.count();
        QTest::qWait(1300);
        QCOMPARE(spy.count(), settled + 1); // "success" went back to "idle", nothing more
        QCOMPARE(a.sync->syncStatus(), SyncStatus::idle());
        // A failure right after a success is not cleared when its time is up.
        a.setSecret(SyncConfiguration::passphraseAccount, {});
        QVERIFY(!a.run());
        QTest::qWait(500);
        QCOMPARE(a.sync->syncStatus().state, SyncStatus::State::error);
        // The last success, also after a restart.
        a.clock.advance(5 * 60 * 1000);
        QCOMPARE(a.sync->lastSyncText(), u"5 minutes ago"_s);
        a.restart();
        QVERIFY(!a.sync->lastSyncDate());
        QCOMPARE(a.sync->lastSyncText(), u"5 minutes ago"_s);
        // Left off at the last start: the server is not contacted. Left on:
        // the first use starts the runs.
        a.setSecret(SyncConfiguration::passphraseAccount, "passphrase");
        for (const bool on : {false, true}) {
            a.sync->setICloudSyncEnabled(on);
            a.restart();
            a.sync->start();
            QTest::qWait(300);
            QTRY_COMPARE(a.sync->requestCount() > 0, on);
            QCOMPARE(a.sync->isAutoSyncScheduled(), on);
        }
        QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::success());
    }

    void relativePhrase_data()
    {
        QTest::addColumn<QString>("secondsAgo");
        QTest::addColumn<QString>("phrase");
        addRows({u"0→just now", u"1→1 second ago", u"59→59 seconds ago", u"60→1 minute ago",
                 u"7300→2 hours ago", u"86400→1 day ago", u"1123200→1 week ago",
                 u"3888000→1 month ago", u"69120000→2 years ago", u"-180→in 3 minutes"});
    }
    void relativePhrase()
    {
        QFETCH(QString, secondsAgo);
        const QDateTime now(QDate(2026, 4, 10), QTime(12, 0), Qt::UTC);
        QTEST(CloudSyncService::relativePhrase(now.addSecs(-secondsAgo.toLongLong()), now),
              "phrase");
    }
};

QTEST_GUILESS_MAIN(TestCloudSync)
#include "tst_cloudsync.moc"
