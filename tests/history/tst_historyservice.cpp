#include "history/HistoryService.h"

#include "CaseTable.h"
#include "FileMode.h"
#include "HistoryRig.h"

#include <QSignalSpy>
#include <QTest>

#include <time.h>

using namespace Qt::StringLiterals;

namespace {
const QLatin1StringView plainKey = HistoryService::storageKey;
const QLatin1StringView encryptedKey = HistoryService::encryptedStorageKey;
} // namespace

class TestHistoryService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Calendar-day arithmetic is tested across a daylight-saving change.
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
    }

    void firstStartWritesNothing()
    {
        HistoryRig s;
        HistoryService& h = s.start();
        QVERIFY(h.items().isEmpty());
        QCOMPARE(h.storage(), HistoryService::Storage::saved);
        QCOMPARE(QDir(s.dataDir()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QString(HistoryService::lockFileName)});
        QCOMPARE(s.keyring->reads.load(), 0);
    }

    void plainEntryIsMigratedEncryptedWins_data() { rows({u"plain only", u"both"}); }

    void plainEntryIsMigratedEncryptedWins()
    {
        const bool withEncrypted = fields()[0] == u"both";
        HistoryRig s;
        s.write(plainKey, *HistoryItem::encodeListJson(
                              {s.item(u"plain mid"_s, 5), s.item(u"plain new"_s, 1)}));
        if (withEncrypted) {
            s.writeEncrypted({s.item(u"encrypted"_s)});
        }
        HistoryService& h = s.start();
        const QStringList expected = withEncrypted ? QStringList{u"encrypted"_s}
                                                   : QStringList{u"plain new"_s, u"plain mid"_s};
        QCOMPARE(texts(h.items()), expected);
        // A plain list is re-written encrypted at once; beside a readable
        // encrypted one it stays until the next save.
        QCOMPARE(s.read(plainKey).has_value(), withEncrypted);
        QCOMPARE(texts(*s.readEncrypted()), expected);
        h.saveHistory();
        QVERIFY(!s.read(plainKey));
        QCOMPARE(fileMode(s.path(encryptedKey)), 0600);
    }

    void captureComesFirstWithinLimits()
    {
        HistoryRig s;
        QList<HistoryItem> stored;
        for (int i = 0; i < 1005; ++i) {
            stored.append(s.item(u"r%1"_s.arg(i), i));
        }
        s.writeEncrypted(stored);
        HistoryService& h = s.start();
        QCOMPARE(h.items().size(), 1000);
        s.capture(u"new"_s);
        QCOMPARE(h.items().size(), 1000);
        QCOMPARE(h.items().first().text, u"new"_s);
        QCOMPARE(h.items().last().text, u"r998"_s);
        QCOMPARE(s.readEncrypted()->first().id, h.items().first().id);
        QVERIFY(h.isSaved(h.items().first().id));
    }

    void cutoff()
    {
        HistoryRig s;
        HistoryService& h = s.start();
        const QDateTime now = s.clock.now();
        const QDateTime cutoff = now.toLocalTime().addDays(-30);
        h.setItems({HistoryItem::create(u"recent"_s, now),
                    HistoryItem::create(u"earlier"_s, cutoff.addMSecs(-1)),
                    HistoryItem::create(u"exact"_s, cutoff)});
        h.cleanupOldItems();
        QCOMPARE(texts(h.items()), QStringList({u"recent"_s, u"exact"_s}));

        // 2026-03-29 switches Berlin to summer time: 30 calendar days before
        // 2026-04-10 12:00 are 30 * 24 - 1 hours.
        if (now.secsTo(cutoff) != -(30 * 86400 - 3600)) {
            QSKIP("the Europe/Berlin time zone is not available");
        }
        const QDateTime thirtyTimes24h = now.addSecs(-30 * 86400);
        h.setItems({HistoryItem::create(u"in"_s, thirtyTimes24h.addSecs(3600)),
                    HistoryItem::create(u"out"_s, thirtyTimes24h)});
        h.cleanupOldItems();
        QCOMPARE(texts(h.items()), QStringList{u"in"_s});
    }

    void unreadableEntriesAreKeptAside()
    {
        HistoryRig s;
        s.writeEncrypted({s.item(u"a"_s)});
        QByteArray block = *s.read(encryptedKey);
        block[20] = char(block[20] ^ 0x10);
        s.write(encryptedKey, block);
        s.write(plainKey, "[{\"id\":");

        HistoryService& h = s.start();
        QVERIFY(h.items().isEmpty());
        const QStringList aside = h.keptAsidePaths(encryptedKey);
        QCOMPARE(aside.size(), 1);
        QVERIFY(aside.first().endsWith(u"captureHistoryEncrypted.unreadable-20260410T100000Z"_s));
        QCOMPARE(fileMode(aside.first()), 0600);
        QCOMPARE(h.keptAsidePaths(plainKey).size(), 1);
        // Nothing replaced them yet.
        QCOMPARE(*s.read(encryptedKey), block);

        // Once per distinct block, however often the application starts.
        s.clock.advance(3600 * 1000);
        s.start();
        QCOMPARE(s.history->keptAsidePaths(encryptedKey), aside);
        s.capture(u"b"_s);
        QCOMPARE(texts(*s.readEncrypted()), QStringList{u"b"_s});
        QVERIFY(!s.read(plainKey));
        QFile copy(aside.first());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), block);
    }

    void keptAsideBlockMergesById()
    {
        HistoryRig s;
        HistoryItem a = s.item(u"A"_s, 3);
        s.writeEncrypted({a, s.item(u"B"_s, 2)},
                         QLatin1StringView("captureHistoryEncrypted.unreadable-20260101T000000Z"));
        a.isSynced = true;
        s.writeEncrypted({s.item(u"C"_s, 1), a});
        HistoryService& h = s.start();
        QCOMPARE(texts(h.items()), QStringList({u"C"_s, u"B"_s, u"A"_s}));
        QVERIFY(h.items().at(2).isSynced); // the record in the main entry wins
        QVERIFY(h.keptAsidePaths(encryptedKey).isEmpty());
        QCOMPARE(s.readEncrypted()->size(), 3);
    }

    // Columns: how the keyring fails (locked, or its prompt is never
    // answered), what saves once it works (the next capture, or its signal).
    void lockedKeyringKeepsCapturesInMemory_data()
    {
        rows({u"locked→next capture", u"locked→signal", u"hangs→next capture", u"hangs→signal"});
    }

    void lockedKeyringKeepsCapturesInMemory()
    {
        const QStringList f = fields();
        const bool hangs = f[0] == u"hangs", unlockedBySignal = f[1] == u"signal";
        HistoryRig s;
        s.start();
        s.capture(u"A"_s);
        s.clock.advance(60000);
        s.capture(u"B"_s);
        const QByteArray stored = *s.read(encryptedKey);

        // The next start finds the keyring locked.
        if (hangs) {
            s.keyring->hang();
        } else {
            s.keyring->unavailable = true;
        }
        s.start();
        QCOMPARE(s.history->storage(), HistoryService::Storage::waitingForKey);
        s.clock.advance(60000);
        s.capture(u"C"_s);
        const HistoryItem c = s.history->items().first();
        QCOMPARE(c.text, u"C"_s);
        QVERIFY(!s.history->isSaved(c.id));
        QCOMPARE(s.history->storage(), HistoryService::Storage::waitingForKey);
        // Nothing on disk changed: no clear text, nothing moved aside or replaced.
        QCOMPARE(*s.read(encryptedKey), stored);
        QVERIFY(!s.read(plainKey));
        QVERIFY(s.history->keptAsidePaths(encryptedKey).isEmpty());
        if (!hangs) {
            QVERIFY(s.keyring->reads <= 3); // one lookup per need
        }

        if (hangs) {
            s.keyring->release();
        }
        s.keyring->unavailable = false;
        if (unlockedBySignal) {
            s.secrets.announceAvailabilityChange();
            s.history->retryKey();
        } else {
            s.capture(u"D"_s);
        }
        QTRY_COMPARE(s.history->storage(), HistoryService::Storage::saved);
        QStringList all{u"C"_s, u"B"_s, u"A"_s};
        if (!unlockedBySignal) {
            all.prepend(u"D"_s);
        }
        QCOMPARE(texts(s.history->items()), all);
        QCOMPARE(texts(*s.readEncrypted()), all);
        QVERIFY(s.history->isSaved(c.id));
        QCOMPARE(s.keyring->writes.load(), 1); // the key was never replaced
    }

    void itemsChangedOnEveryChange()
    {
        HistoryRig s;
        HistoryService& h = s.start();
        QSignalSpy changed(&h, &HistoryService::itemsChanged);
        h.setItems({s.item(u"a"_s), HistoryItem::create(u"old"_s, s.clock.now().addDays(-40))});
        h.insert(0, s.item(u"b"_s));
        h.cleanupOldItems();
        h.cleanupOldItems(); // nothing left to drop
        QCOMPARE(h.remove(QUuid::createUuid()), qsizetype(0));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(h.remove(h.items().first().id), qsizetype(1));
        QCOMPARE(changed.count(), 4);
    }

    void oneWriterAtATime()
    {
        HistoryRig s;
        s.start();
        s.capture(u"first"_s);
        // Another writer of the same files (quillsnap-cli, say) waits: it reads
        // and writes nothing, also when the lock has not been touched for hours.
        QFile lock(s.path(HistoryService::lockFileName));
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(s.clock.now().addSecs(-3600), QFileDevice::FileModificationTime));
        EncryptionService encryption(s.secrets);
        HistoryService second(s.dataDir(), encryption, s.clock);
        second.insert(0, s.item(u"second"_s));
        second.saveHistory();
        QTest::qWait(2 * int(HistoryService::lockRetryInterval.count()));
        QVERIFY(!second.isLoaded());
        QCOMPARE(second.storage(), HistoryService::Storage::loading);
        QCOMPARE(second.lockHolder(), QCoreApplication::applicationPid());
        QCOMPARE(texts(*s.readEncrypted()), QStringList{u"first"_s});
        // The first one ends: the second reads what it wrote and adds its own.
        s.history.reset();
        QTRY_VERIFY(second.isLoaded());
        QTRY_COMPARE(second.storage(), HistoryService::Storage::saved);
        QCOMPARE(texts(*s.readEncrypted()), (QStringList{u"second"_s, u"first"_s}));
    }

    void formatByteCount_data()
    {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("text");
        addRows({u"0→0 bytes", u"1→1 byte", u"999→999 bytes", u"1000→1 KB", u"1234→1.2 KB",
                 u"99950→100 KB", u"999500→1 MB", u"12345678901→12.3 GB"});
    }

    void formatByteCount()
    {
        QFETCH(QString, bytes);
        QTEST(HistoryService::formatByteCount(bytes.toLongLong()), "text");
    }
};

QTEST_GUILESS_MAIN(TestHistoryService)
#include "tst_historyservice.moc"
