#include "sync/SyncFormat.h"

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
    QString backend;
    std::unique_ptr<WebDAVServer> server;
    QTemporaryDir folder;

    // planting: the test puts files into the server's directory itself.
    explicit SharedStore(QString kind, bool planting = false) : backend(std::move(kind))
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
    QStringList records() const
    {
        return QDir(root() + u"/records"_s).entryList(QDir::Files, QDir::Name);
    }
    QByteArray allBytes() const
    {
        QByteArray all;
        QDirIterator it(root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            all += file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
        return all;
    }
    void write(const QString& path, const QByteArray& data) const
    {
        QFile file(root() + u'/' + path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    // A record as another machine with this passphrase seals it.
    QByteArray seal(const QString& name, const QJsonObject& fields,
                    const QByteArray& passphrase = "correct horse battery staple") const
    {
        QFile file(root() + u'/' + SyncFormat::keyCheckFile);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        const auto check = SyncFormat::parseKeyCheck(file.readAll());
        const QByteArray key = SyncFormat::deriveKey(passphrase, check->salt);
        return SyncFormat::sealRecord(key, check->salt, name, fields);
    }
};

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<int> pages(const CloudSyncService::RunResult& r)
{
    return r ? r->pageSizes : QList<int>{-1};
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
    void exchangeBothWays();
    void recordsThatCannotBeMerged_data() { addBackends(); }
    void recordsThatCannotBeMerged();
    void wrongPassphraseMovesNothing_data() { addBackends(); }
    void wrongPassphraseMovesNothing();
    void failingServerLosesNothing_data();
    void failingServerLosesNothing();
    void twoMachinesSetUpAtOnce_data() { addBackends(); }
    void twoMachinesSetUpAtOnce();
    void oldRecordsAreNotFetchedAgain();
    void runsAreSerialised();
    void uploadAfterCapture();
    void statusAndLastSync();
    void switchAndTimer();
    void relativePhrase_data();
    void relativePhrase();
};

void TestCloudSync::exchangeBothWays()
{
    QFETCH(QString, backend);
    SharedStore store(backend);
    SyncHome a(u"alpha-pc"_s, backend, store.location());
    SyncHome b(u"beta-pc"_s, backend, store.location());
    for (int i = 0; i < 120; ++i) {
        a.capture(u"alpha secret %1"_s.arg(i), 2 * i);
        b.capture(u"beta secret %1"_s.arg(i), 2 * i + 1);
    }
    auto r = a.run();
    QVERIFY2(r, qPrintable(r ? QString() : r.error()));
    QCOMPARE(r->uploaded, 120);
    QCOMPARE(r->downloaded, 0);
    r = b.run();
    QCOMPARE(r->uploaded, 120);
    QCOMPARE(r->downloaded, 120);
    QCOMPARE(pages(r), (QList<int>{50, 50, 20}));
    r = a.run();
    QCOMPARE(r->downloaded, 120);
    QCOMPARE(pages(r), (QList<int>{50, 50, 20}));
    QCOMPARE(a.texts().size(), 240);
    QCOMPARE(a.texts(), b.texts());
    QCOMPARE(store.records().size(), 240);

    // Newest first, each at its place in time; remote ones synced under their id.
    const QList<HistoryItem>& items = a.history().items();
    QCOMPARE(items.at(0).text, u"alpha secret 0"_s);
    QCOMPARE(items.at(1).text, u"beta secret 0"_s);
    QVERIFY(items.at(1).isSynced);
    QCOMPARE(items.at(1).cloudRecordID, items.at(1).idText());
    QCOMPARE(items.at(1).deviceName, u"beta-pc"_s);
    QCOMPARE(a.unsynced(), 0);

    // A second run moves nothing and downloads nothing: the key check and
    // one listing.
    for (SyncHome* home : {&a, &b}) {
        const int before = home->sync->requestCount();
        const QByteArray stored = fileContent(home->dataDir() + u"/captureHistoryEncrypted"_s);
        r = home->run();
        QCOMPARE(r->uploaded + r->downloaded, 0);
        QCOMPARE(home->sync->requestCount() - before, 2);
        QCOMPARE(fileContent(home->dataDir() + u"/captureHistoryEncrypted"_s), stored);
    }
    // The server holds sealed bytes only.
    const QByteArray stored = store.allBytes();
    for (const char* text : {"secret", "alpha-pc", "beta-pc", "deviceName"}) {
        QVERIFY2(!stored.contains(text), text);
    }
}

void TestCloudSync::recordsThatCannotBeMerged()
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
    const HistoryItem whole = HistoryItem::create(u"late"_s, a.clock.now(), u"gamma"_s);
    const CloudRecord late = CloudRecord::fromItem(whole);
    CloudRecord bare = CloudRecord::fromItem(HistoryItem::create(u"bare"_s, a.clock.now()));
    bare.fields.remove(u"deviceName"_s);
    const QByteArray lateFile = store.seal(late.recordName, late.fields);
    store.write(SyncFormat::recordPath(bare.recordName), store.seal(bare.recordName, bare.fields));
    store.write(SyncFormat::recordPath(late.recordName), lateFile.left(lateFile.size() / 2));
    store.write(u"records/.%1.qsr.x1.tmp"_s.arg(late.recordName), lateFile);
    store.write(u"records/notes.txt"_s, "not a record");

    auto r = b.run();
    QVERIFY(r);
    QCOMPARE(b.texts(), (QStringList{u"one"_s, u"two"_s}));
    QCOMPARE(r->unreadable, 2);
    // Complete now: merged at the next run; the bare one stays out.
    store.write(SyncFormat::recordPath(late.recordName), lateFile);
    r = b.run();
    QCOMPARE(r->downloaded, 1);
    QCOMPARE(b.texts(), (QStringList{u"late"_s, u"one"_s, u"two"_s}));

    // Deleted here, still on the server: it comes back.
    b.history().remove(b.history().items().constLast().id);
    b.history().saveHistory();
    QCOMPARE(b.texts().size(), 2);
    r = b.run();
    QCOMPARE(r->downloaded, 1);
    QCOMPARE(b.texts(), (QStringList{u"late"_s, u"one"_s, u"two"_s}));
}

void TestCloudSync::wrongPassphraseMovesNothing()
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
    const QString expected = u"Sync is not available: The sync passphrase does not match the one "
                             u"used on your other machines."_s;
    QCOMPARE(r ? QString() : r.error(), expected);
    QCOMPARE(b.sync->syncStatus(), SyncStatus::error(expected));
    QCOMPARE(store.allBytes(), before);
    QCOMPARE(b.texts(), QStringList{u"from beta"_s});
    QCOMPARE(b.unsynced(), 1);

    // Turning the switch on says the same and schedules nothing.
    b.sync->setICloudSyncEnabled(true);
    QVERIFY(QTest::qWaitFor(
        [&] { return b.sync->isCloudAvailable() == false && !b.sync->isSyncing(); }));
    QTRY_COMPARE(b.sync->syncStatus(), SyncStatus::error(expected));
    QVERIFY(!b.sync->isAutoSyncScheduled());
}

void TestCloudSync::failingServerLosesNothing_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("passBeforeFault"); // -1: no server at all
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("uploadedBeforeFault");
    QTest::addColumn<QString>("error");
    // A fresh run's requests: key check (GET 404, MKCOL x2, PUT, GET), then
    // one PUT per capture, then the listing.
    QTest::newRow("500 at once") << u"webdav"_s << 0 << false << 0
                                 << u"Sync is not available: The server answered 500"_s;
    QTest::newRow("500 among uploads")
        << u"webdav"_s << 7 << false << 2 << u"The server answered 500"_s;
    QTest::newRow("500 on the listing")
        << u"webdav"_s << 10 << false << 5 << u"The server answered 500"_s;
    QTest::newRow("no answer") << u"webdav"_s << 0 << true << 0
                               << u"Sync is not available: 127.0.0.1 did not answer in time"_s;
    QTest::newRow("nobody listening")
        << u"webdav"_s << -1 << false << 0 << u"Sync is not available: Cannot reach 127.0.0.1"_s;
    QTest::newRow("folder's parent missing")
        << u"folder"_s << -1 << false << 0 << u"Sync is not available: The sync folder"_s;
}

void TestCloudSync::failingServerLosesNothing()
{
    QFETCH(QString, backend);
    QFETCH(int, passBeforeFault);
    QFETCH(bool, silent);
    QFETCH(int, uploadedBeforeFault);
    QFETCH(QString, error);
    SharedStore store(backend);
    std::unique_ptr<FaultProxy> proxy;
    QString location = store.folder.filePath(u"missing/quillsnap"_s);
    if (store.server && passBeforeFault >= 0) {
        proxy = std::make_unique<FaultProxy>(store.server->url());
        proxy->passBeforeFault = passBeforeFault;
        proxy->fault = silent ? FaultProxy::Fault::silence : FaultProxy::Fault::error500;
        location = proxy->url(u"quillsnap"_s).toString();
    } else if (store.server) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        location = u"http://127.0.0.1:%1/quillsnap"_s.arg(closed.serverPort());
    }
    SyncHome a(u"alpha"_s, backend, location);
    for (int i = 0; i < 5; ++i) {
        a.capture(u"capture %1"_s.arg(i), i);
    }
    const QStringList texts = a.texts();

    const auto r = a.run();
    QVERIFY(!r);
    QVERIFY2(r.error().startsWith(error), qPrintable(r.error()));
    QCOMPARE(a.sync->syncStatus().state, SyncStatus::State::error);
    QCOMPARE(a.texts(), texts);
    QCOMPARE(a.unsynced(), 5 - uploadedBeforeFault);
    a.restart(); // and on disk
    QCOMPARE(a.texts(), texts);
    QCOMPARE(a.unsynced(), 5 - uploadedBeforeFault);

    // Once the server answers, the rest goes up, nothing twice.
    if (proxy) {
        proxy->passBeforeFault = -1;
    } else {
        a.preferences.setValue(PreferenceKeys::syncWebDAVURL, store.location());
        a.preferences.setValue(PreferenceKeys::syncFolder, store.location());
    }
    QCOMPARE(a.run()->uploaded, 5 - uploadedBeforeFault);
    QCOMPARE(a.unsynced(), 0);
    QCOMPARE(store.records().size(), 5);
}

void TestCloudSync::twoMachinesSetUpAtOnce()
{
    QFETCH(QString, backend);
    SharedStore store(backend);
    SyncHome a(u"alpha"_s, backend, store.location());
    SyncHome b(u"beta"_s, backend, store.location());
    a.capture(u"from alpha"_s);
    b.capture(u"from beta"_s);
    // Both find no database and set one up, each under its own salt.
    std::optional<CloudSyncService::RunResult> ra;
    std::optional<CloudSyncService::RunResult> rb;
    a.sync->performSync([&](CloudSyncService::RunResult r) { ra = r; });
    b.sync->performSync([&](CloudSyncService::RunResult r) { rb = r; });
    QVERIFY(QTest::qWaitFor([&] { return ra && rb; }, 60000));
    QVERIFY(*ra && *rb);
    // Whichever key check stayed, every record can be read.
    QVERIFY(a.run());
    QVERIFY(b.run());
    QCOMPARE(a.texts(), (QStringList{u"from alpha"_s, u"from beta"_s}));
    QCOMPARE(b.texts(), a.texts());
}

void TestCloudSync::oldRecordsAreNotFetchedAgain()
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
    auto r = a.run();
    QCOMPARE(r->downloaded, 0);
    QCOMPARE(a.texts(), QStringList{u"new from alpha"_s});
    // Fetched once by a machine that never saw it, then never again.
    r = b.run();
    QCOMPARE(r->downloaded, 1);
    QCOMPARE(pages(r), QList<int>{2});
    QCOMPARE(b.texts(), (QStringList{u"new from alpha"_s, u"new from beta"_s}));
    const int before = b.sync->requestCount();
    r = b.run();
    QCOMPARE(pages(r), QList<int>{0});
    QCOMPARE(b.sync->requestCount() - before, 2);
}

void TestCloudSync::runsAreSerialised()
{
    SharedStore store(u"folder"_s);
    SyncHome a(u"alpha"_s, u"folder"_s, store.location());
    SyncHome b(u"beta"_s, u"folder"_s, store.location());
    for (int i = 0; i < 3; ++i) {
        a.capture(u"capture %1"_s.arg(i), i);
    }
    QVERIFY(a.run());
    // Three requests while the first runs: the second and third share the
    // run that follows it; the history gets each record once.
    QList<CloudSyncService::RunResult> results;
    for (int i = 0; i < 3; ++i) {
        b.sync->performSync([&](CloudSyncService::RunResult r) { results.append(r); });
    }
    QVERIFY(b.sync->isSyncing());
    QVERIFY(QTest::qWaitFor([&] { return results.size() == 3; }, 30000));
    QCOMPARE(results.at(0)->downloaded, 3);
    QCOMPARE(results.at(1)->downloaded, 0);
    QCOMPARE(results.at(2)->pageSizes, results.at(1)->pageSizes);
    QCOMPARE(b.history().items().size(), 3);
}

void TestCloudSync::uploadAfterCapture()
{
    SharedStore store(u"folder"_s);
    SyncHome a(u"alpha"_s, u"folder"_s, store.location());
    const auto upload = [&](const HistoryItem& item) {
        std::optional<Expected<void, CloudError>> done;
        a.sync->uploadItem(item, [&](Expected<void, CloudError> r) { done = r; });
        QVERIFY(QTest::qWaitFor([&] { return done.has_value(); }));
        QVERIFY(*done);
    };
    // Off: nothing goes up; turned on, the first run sends what waited.
    upload(a.capture(u"while off"_s));
    QCOMPARE(store.records().size(), 0);
    a.sync->setICloudSyncEnabled(true);
    QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::success());
    QCOMPARE(store.records().size(), 1);
    const HistoryItem item = a.capture(u"while on"_s);
    upload(item);
    QVERIFY(store.records().contains(item.idText() + u".qsr"_s));
    QCOMPARE(a.unsynced(), 0);
    QCOMPARE(a.history().items().first().cloudRecordID, item.idText());
}

void TestCloudSync::statusAndLastSync()
{
    SharedStore store(u"folder"_s);
    SyncHome a(u"alpha"_s, u"folder"_s, store.location());
    QCOMPARE(a.sync->lastSyncText(), u"Never"_s);
    a.sync->setSuccessDuration(std::chrono::milliseconds(300));
    QSignalSpy spy(a.sync.get(), &CloudSyncService::syncStatusChanged);
    QVERIFY(a.run());
    QCOMPARE(a.sync->syncStatus(), SyncStatus::success());
    QCOMPARE(a.sync->lastSyncText(), u"just now"_s);
    QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::idle());
    QList<SyncStatus> seen;
    for (const auto& args : spy) {
        seen.append(args.at(0).value<SyncStatus>());
    }
    QCOMPARE(seen,
             (QList<SyncStatus>{SyncStatus::syncing(), SyncStatus::success(), SyncStatus::idle()}));
    // A failure right after a success is not cleared when its time is up.
    QVERIFY(a.run());
    a.setSecret(SyncConfiguration::passphraseAccount, {});
    QVERIFY(!a.run());
    QTest::qWait(500);
    QCOMPARE(a.sync->syncStatus().state, SyncStatus::State::error);

    a.clock.advance(5 * 60 * 1000);
    QCOMPARE(a.sync->lastSyncText(), u"5 minutes ago"_s);
    const QDateTime last = *a.sync->lastSyncDate();
    a.restart();
    QVERIFY(!a.sync->lastSyncDate());
    QCOMPARE(a.sync->lastSyncText(), CloudSyncService::relativePhrase(last, a.clock.now()));
}

void TestCloudSync::switchAndTimer()
{
    SharedStore store(u"folder"_s);
    SyncHome a(u"alpha"_s, u"folder"_s, store.location());
    a.setSecret(SyncConfiguration::passphraseAccount, {});
    QSignalSpy spy(a.sync.get(), &CloudSyncService::syncStatusChanged);
    a.sync->setICloudSyncEnabled(true);
    QTRY_COMPARE(a.sync->syncStatus(),
                 SyncStatus::error(u"Sync is not available: no sync passphrase is set"_s));
    QVERIFY(!a.sync->isAutoSyncScheduled());
    QCOMPARE(spy.count(), 1);
    QVERIFY(a.preferences.iCloudSyncEnabled());

    // On with a passphrase: a run at once and one per interval.
    a.sync->setICloudSyncEnabled(false);
    a.setSecret(SyncConfiguration::passphraseAccount, "passphrase");
    a.sync->setAutoSyncInterval(std::chrono::milliseconds(250));
    a.sync->setICloudSyncEnabled(true);
    QVERIFY(QTest::qWaitFor([&] { return spy.count() >= 7; }, 20000)); // 3 runs and then some
    QVERIFY(a.sync->isAutoSyncScheduled());
    // Off: the run under way ends, no other starts.
    QTRY_VERIFY(a.sync->isSyncing());
    a.sync->setICloudSyncEnabled(false);
    QVERIFY(!a.sync->isAutoSyncScheduled());
    QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::success());
    const int settled = int(spy.count());
    QTest::qWait(700);
    QCOMPARE(spy.count(), settled);

    // Left off at the last start: the server is not contacted. Left on: the
    // first use starts the runs.
    a.restart();
    a.sync->start();
    QTest::qWait(300);
    QCOMPARE(a.sync->requestCount(), 0);
    a.sync->setICloudSyncEnabled(true);
    a.restart();
    a.sync->start();
    QTRY_COMPARE(a.sync->syncStatus(), SyncStatus::success());
    QVERIFY(a.sync->isAutoSyncScheduled());
}

void TestCloudSync::relativePhrase_data()
{
    QTest::addColumn<qint64>("secondsAgo");
    QTest::addColumn<QString>("phrase");
    QTest::newRow("now") << 0LL << u"just now"_s;
    QTest::newRow("1 s") << 1LL << u"1 second ago"_s;
    QTest::newRow("59 s") << 59LL << u"59 seconds ago"_s;
    QTest::newRow("1 min") << 60LL << u"1 minute ago"_s;
    QTest::newRow("2 h") << 7300LL << u"2 hours ago"_s;
    QTest::newRow("1 day") << 86400LL << u"1 day ago"_s;
    QTest::newRow("13 days") << 13 * 86400LL << u"1 week ago"_s;
    QTest::newRow("45 days") << 45 * 86400LL << u"1 month ago"_s;
    QTest::newRow("800 days") << 800 * 86400LL << u"2 years ago"_s;
    QTest::newRow("future") << -180LL << u"in 3 minutes"_s;
}

void TestCloudSync::relativePhrase()
{
    QFETCH(qint64, secondsAgo);
    QFETCH(QString, phrase);
    const QDateTime now(QDate(2026, 4, 10), QTime(12, 0), Qt::UTC);
    QCOMPARE(CloudSyncService::relativePhrase(now.addSecs(-secondsAgo), now), phrase);
}

QTEST_GUILESS_MAIN(TestCloudSync)
#include "tst_cloudsync.moc"
