#include "history/HistoryService.h"

#include "common/Clock.h"
#include "history/EncryptionService.h"
#include "settings/Preferences.h"

#include "MemorySecretStore.h"

#include <QDir>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <time.h>

#include <memory>

namespace {

using Key = QLatin1StringView;
const Key plainKey = HistoryService::storageKey;
const Key encryptedKey = HistoryService::encryptedStorageKey;

// One user's store: preferences in a private directory, a keyring that
// outlives "processes" (each EncryptionService + HistoryService pair is one
// start of the application) and a clock standing at a fixed instant.
struct Store
{
    QTemporaryDir dir;
    Preferences prefs{dir.filePath(QStringLiteral("quillsnap.conf")),
                      dir.filePath(QStringLiteral("data"))};
    MemorySecretStore keyring;
    ManualClock clock{QDateTime(QDate(2026, 4, 10), QTime(12, 0), Qt::LocalTime)};
    std::unique_ptr<EncryptionService> encryption;
    std::unique_ptr<HistoryService> history;

    // A fresh start of the application.
    HistoryService& start()
    {
        history.reset();
        encryption = std::make_unique<EncryptionService>(keyring);
        history = std::make_unique<HistoryService>(prefs.dataDir(), *encryption, clock);
        return *history;
    }

    HistoryItem item(const QString& text, qint64 minutesAgo = 0) const
    {
        return HistoryItem::create(text, clock.now().addSecs(-60 * minutesAgo),
                                   QStringLiteral("test"));
    }

    void capture(const QString& text)
    {
        history->insert(0, item(text));
        history->cleanupOldItems();
        history->saveHistory();
    }

    void writeEncrypted(const QList<HistoryItem>& items, Key key = encryptedKey)
    {
        EncryptionService enc(keyring);
        QVERIFY(prefs.setDataValue(key, *enc.encrypt(*HistoryItem::encodeListJson(items))));
    }

    std::optional<QList<HistoryItem>> readEncrypted(const QString& path = {})
    {
        EncryptionService enc(keyring);
        QFile file(path.isEmpty() ? prefs.dataPath(encryptedKey) : path);
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        auto plaintext = enc.decrypt(file.readAll());
        if (!plaintext) {
            return std::nullopt;
        }
        return HistoryItem::decodeListJson(*plaintext);
    }

    bool has(Key key) const { return prefs.contains(key); }
    QStringList dataFiles() const
    {
        return QDir(prefs.dataDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

QStringList texts(const QList<HistoryItem>& items)
{
    QStringList out;
    for (const HistoryItem& item : items) {
        out.append(item.text);
    }
    return out;
}

int fileMode(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return int(st.st_mode & 0777);
}

} // namespace

class TestHistoryService : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void firstStartWritesNothing();
    void plainOnlyStoreIsMigrated();
    void encryptedWinsOverPlain();
    void captureComesFirst();
    void trimmedToMaxItems();
    void cutoffIsExact();
    void cutoffUsesCalendarDays();
    void markAsSynced();
    void clearLeavesEncryptedEmptyArray();
    void corruptEntries();
    void tamperedBlockIsKeptAside();
    void lockedKeyringLosesNoCapture_data();
    void lockedKeyringLosesNoCapture();
    void keptAsideBlockMergesById();
    void itemsChangedOnEveryChange();
    void filesArePrivate();
    void formatByteCount_data();
    void formatByteCount();
    void storageSizeAndUnsynced();
};

void TestHistoryService::initTestCase()
{
    // Calendar-day arithmetic is tested across a daylight-saving change.
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
}

void TestHistoryService::firstStartWritesNothing()
{
    Store s;
    HistoryService& h = s.start();
    QVERIFY(h.items().isEmpty());
    QVERIFY(s.dataFiles().isEmpty());
}

void TestHistoryService::plainOnlyStoreIsMigrated()
{
    Store s;
    const QList<HistoryItem> stored{s.item(QStringLiteral("middle"), 5),
                                    s.item(QStringLiteral("newest"), 1),
                                    s.item(QStringLiteral("oldest"), 9)};
    QVERIFY(s.prefs.setDataValue(plainKey, *HistoryItem::encodeListJson(stored)));
    HistoryService& h = s.start();
    const QStringList expected{QStringLiteral("newest"), QStringLiteral("middle"),
                               QStringLiteral("oldest")};
    QCOMPARE(texts(h.items()), expected);
    QVERIFY(!s.has(plainKey));
    const auto onDisk = s.readEncrypted();
    QVERIFY(onDisk);
    QCOMPARE(texts(*onDisk), expected);
}

void TestHistoryService::encryptedWinsOverPlain()
{
    Store s;
    s.writeEncrypted({s.item(QStringLiteral("encrypted"))});
    QVERIFY(s.prefs.setDataValue(plainKey,
                                 *HistoryItem::encodeListJson({s.item(QStringLiteral("plain"))})));
    HistoryService& h = s.start();
    QCOMPARE(texts(h.items()), QStringList{QStringLiteral("encrypted")});
    QVERIFY(s.has(plainKey));
    h.saveHistory();
    QVERIFY(!s.has(plainKey));
}

void TestHistoryService::captureComesFirst()
{
    Store s;
    s.writeEncrypted({s.item(QStringLiteral("old"), 3)});
    s.start();
    s.capture(QStringLiteral("new"));
    QCOMPARE(s.history->items().first().text, QStringLiteral("new"));
    const QByteArray plaintext = *s.encryption->decrypt(*s.prefs.dataValue(encryptedKey));
    const QJsonArray array = QJsonDocument::fromJson(plaintext).array();
    QCOMPARE(array.size(), 2);
    QCOMPARE(array.first().toObject().value(QLatin1String("id")).toString(),
             s.history->items().first().idText());
}

void TestHistoryService::trimmedToMaxItems()
{
    Store s;
    QList<HistoryItem> stored;
    for (int i = 0; i < 1005; ++i) {
        stored.append(s.item(QStringLiteral("r%1").arg(i), i));
    }
    s.writeEncrypted(stored);
    HistoryService& h = s.start();
    QCOMPARE(h.items().size(), 1000);
    QCOMPARE(h.items().last().text, QStringLiteral("r999"));
    s.capture(QStringLiteral("new"));
    QCOMPARE(h.items().size(), 1000);
    QCOMPARE(h.items().first().text, QStringLiteral("new"));
    QCOMPARE(h.items().last().text, QStringLiteral("r998"));
    QCOMPARE(s.readEncrypted()->size(), 1000);
}

void TestHistoryService::cutoffIsExact()
{
    Store s;
    HistoryService& h = s.start();
    const QDateTime cutoff = s.clock.now().toLocalTime().addDays(-30);
    HistoryItem exact = HistoryItem::create(QStringLiteral("exact"), cutoff);
    HistoryItem earlier = HistoryItem::create(QStringLiteral("earlier"), cutoff.addMSecs(-1));
    HistoryItem recent = HistoryItem::create(QStringLiteral("recent"), s.clock.now());
    h.setItems({recent, earlier, exact});
    h.cleanupOldItems();
    QCOMPARE(texts(h.items()), QStringList({QStringLiteral("recent"), QStringLiteral("exact")}));
}

void TestHistoryService::cutoffUsesCalendarDays()
{
    Store s;
    HistoryService& h = s.start();
    // 2026-03-29 switches Berlin to summer time: 30 calendar days before
    // 2026-04-10 12:00 are 30 * 24 - 1 hours.
    const QDateTime now = s.clock.now();
    if (now.toLocalTime().addDays(-30).secsTo(now) != 30 * 86400 - 3600) {
        QSKIP("the Europe/Berlin time zone is not available");
    }
    const QDateTime thirtyTimes24h = now.addSecs(-30 * 86400);
    h.setItems({HistoryItem::create(QStringLiteral("in"), thirtyTimes24h.addSecs(3600)),
                HistoryItem::create(QStringLiteral("out"), thirtyTimes24h)});
    h.cleanupOldItems();
    QCOMPARE(texts(h.items()), QStringList{QStringLiteral("in")});
}

void TestHistoryService::markAsSynced()
{
    Store s;
    HistoryService& h = s.start();
    h.setItems({s.item(QStringLiteral("a")), s.item(QStringLiteral("b"), 1)});
    QSignalSpy changed(&h, &HistoryService::itemsChanged);
    h.markAsSynced(QUuid::createUuid(), QStringLiteral("rec"));
    QCOMPARE(changed.count(), 0);
    QVERIFY(s.dataFiles().isEmpty());

    const QUuid id = h.items().at(1).id;
    h.markAsSynced(id, QStringLiteral("rec-b"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(h.items().at(1).id, id);
    QVERIFY(h.items().at(1).isSynced);
    QCOMPARE(h.items().at(1).cloudRecordID, std::optional<QString>(QStringLiteral("rec-b")));
    QCOMPARE(s.readEncrypted()->at(1).cloudRecordID,
             std::optional<QString>(QStringLiteral("rec-b")));
}

void TestHistoryService::clearLeavesEncryptedEmptyArray()
{
    Store s;
    s.writeEncrypted({s.item(QStringLiteral("a"))});
    HistoryService& h = s.start();
    h.setItems({});
    h.saveHistory();
    QCOMPARE(*s.encryption->decrypt(*s.prefs.dataValue(encryptedKey)), QByteArray("[]"));
}

void TestHistoryService::corruptEntries()
{
    Store s;
    QVERIFY(s.prefs.setDataValue(plainKey, "[{\"id\":"));
    HistoryService& h = s.start();
    QVERIFY(h.items().isEmpty());
    QCOMPARE(*s.prefs.dataValue(plainKey), QByteArray("[{\"id\":"));
    // The next save replaces the entry, so its content is kept aside first.
    const QStringList aside = h.keptAsidePaths(plainKey);
    QCOMPARE(aside.size(), 1);
    QVERIFY(aside.first().endsWith(QLatin1String("captureHistory.unreadable-20260410T100000Z")));

    // A block that decrypts but holds no valid list falls back to the plain entry.
    Store t;
    QVERIFY(t.prefs.setDataValue(
        encryptedKey, *EncryptionService(t.keyring).encrypt(QByteArray("[{\"bad\":1}]"))));
    QVERIFY(t.prefs.setDataValue(plainKey,
                                 *HistoryItem::encodeListJson({t.item(QStringLiteral("plain"))})));
    QCOMPARE(texts(t.start().items()), QStringList{QStringLiteral("plain")});
    QCOMPARE(t.history->keptAsidePaths(encryptedKey).size(), 1);
}

void TestHistoryService::tamperedBlockIsKeptAside()
{
    Store s;
    s.writeEncrypted({s.item(QStringLiteral("a"))});
    QByteArray block = *s.prefs.dataValue(encryptedKey);
    block[20] = char(block[20] ^ 0x10);
    QVERIFY(s.prefs.setDataValue(encryptedKey, block));

    HistoryService& h = s.start();
    QVERIFY(h.items().isEmpty());
    QStringList aside = h.keptAsidePaths(encryptedKey);
    QCOMPARE(aside.size(), 1);
    QFile copy(aside.first());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), block);
    QCOMPARE(fileMode(aside.first()), 0600);

    // Once per distinct block, however often the application starts.
    s.clock.advance(3600 * 1000);
    s.start();
    QCOMPARE(s.history->keptAsidePaths(encryptedKey), aside);

    s.capture(QStringLiteral("b"));
    QCOMPARE(texts(*s.readEncrypted()), QStringList{QStringLiteral("b")});
    QCOMPARE(s.history->keptAsidePaths(encryptedKey), aside);
}

void TestHistoryService::lockedKeyringLosesNoCapture_data()
{
    QTest::addColumn<bool>("unlocksDuringSession");
    QTest::newRow("locked all session") << false;
    QTest::newRow("unlocked mid-session") << true;
}

void TestHistoryService::lockedKeyringLosesNoCapture()
{
    QFETCH(bool, unlocksDuringSession);
    Store s;
    s.start();
    s.capture(QStringLiteral("A"));
    s.clock.advance(60000);
    s.capture(QStringLiteral("B"));

    // Next start with the keyring locked: the stored block cannot be read.
    s.clock.advance(60000);
    s.keyring.unavailable = true;
    s.start();
    QVERIFY(s.history->items().isEmpty());
    QCOMPARE(s.history->keptAsidePaths(encryptedKey).size(), 1);
    s.capture(QStringLiteral("C"));
    if (unlocksDuringSession) {
        s.keyring.unavailable = false;
    } else {
        QVERIFY(!s.has(encryptedKey)); // retired, or it would hide C at the next start
        QVERIFY(s.has(plainKey));
    }
    s.clock.advance(60000);
    s.capture(QStringLiteral("D"));
    QCOMPARE(s.keyring.writes, 1); // no key was ever replaced

    // The keyring answers again at the next start.
    s.keyring.unavailable = false;
    s.clock.advance(60000);
    HistoryService& h = s.start();
    const QStringList all{QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("B"),
                          QStringLiteral("A")};
    QCOMPARE(texts(h.items()), all);
    QCOMPARE(texts(*s.readEncrypted()), all);
    QVERIFY(!s.has(plainKey));
    QVERIFY(h.keptAsidePaths(encryptedKey).isEmpty());
}

void TestHistoryService::keptAsideBlockMergesById()
{
    Store s;
    HistoryItem a = s.item(QStringLiteral("A"), 3);
    const HistoryItem b = s.item(QStringLiteral("B"), 2);
    const HistoryItem c = s.item(QStringLiteral("C"), 1);
    s.writeEncrypted({a, b}, Key("captureHistoryEncrypted.unreadable-20260101T000000Z"));
    a.isSynced = true;
    s.writeEncrypted({c, a});
    HistoryService& h = s.start();
    QCOMPARE(texts(h.items()),
             QStringList({QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("A")}));
    QVERIFY(h.items().at(2).isSynced); // the record in the main entry wins
    QVERIFY(h.keptAsidePaths(encryptedKey).isEmpty());
    QCOMPARE(s.readEncrypted()->size(), 3);
}

void TestHistoryService::itemsChangedOnEveryChange()
{
    Store s;
    HistoryService& h = s.start();
    QSignalSpy changed(&h, &HistoryService::itemsChanged);
    const HistoryItem old = HistoryItem::create(QStringLiteral("old"), s.clock.now().addDays(-40));
    h.setItems({s.item(QStringLiteral("a")), old});
    QCOMPARE(changed.count(), 1);
    h.insert(0, s.item(QStringLiteral("b")));
    QCOMPARE(changed.count(), 2);
    h.cleanupOldItems();
    QCOMPARE(changed.count(), 3);
    h.cleanupOldItems(); // nothing left to drop
    QCOMPARE(changed.count(), 3);
    QCOMPARE(h.remove(QUuid::createUuid()), qsizetype(0));
    QCOMPARE(changed.count(), 3);
    QCOMPARE(h.remove(h.items().first().id), qsizetype(1));
    QCOMPARE(changed.count(), 4);
    h.saveHistory();
    QCOMPARE(changed.count(), 4);
}

void TestHistoryService::filesArePrivate()
{
    Store s;
    s.start();
    s.capture(QStringLiteral("a"));
    QCOMPARE(fileMode(s.prefs.dataPath(encryptedKey)), 0600);
    s.keyring.unavailable = true;
    s.start();
    s.capture(QStringLiteral("b"));
    QCOMPARE(fileMode(s.prefs.dataPath(plainKey)), 0600);
    QCOMPARE(fileMode(s.history->keptAsidePaths(encryptedKey).value(0)), 0600);
}

void TestHistoryService::formatByteCount_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << QStringLiteral("0 bytes");
    QTest::newRow("one") << qint64(1) << QStringLiteral("1 byte");
    QTest::newRow("512") << qint64(512) << QStringLiteral("512 bytes");
    QTest::newRow("999") << qint64(999) << QStringLiteral("999 bytes");
    QTest::newRow("1000") << qint64(1000) << QStringLiteral("1 KB");
    QTest::newRow("1234") << qint64(1234) << QStringLiteral("1.2 KB");
    QTest::newRow("99949") << qint64(99949) << QStringLiteral("99.9 KB");
    QTest::newRow("99950") << qint64(99950) << QStringLiteral("100 KB");
    QTest::newRow("999499") << qint64(999499) << QStringLiteral("999 KB");
    QTest::newRow("999500") << qint64(999500) << QStringLiteral("1 MB");
    QTest::newRow("3.4 MB") << qint64(3400000) << QStringLiteral("3.4 MB");
    QTest::newRow("GB") << qint64(12345678901) << QStringLiteral("12.3 GB");
}

void TestHistoryService::formatByteCount()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(HistoryService::formatByteCount(bytes), text);
}

void TestHistoryService::storageSizeAndUnsynced()
{
    Store s;
    HistoryService& h = s.start();
    QCOMPARE(h.formattedStorageSize(), QStringLiteral("0 bytes"));
    HistoryItem synced = s.item(QStringLiteral("abc"), 1);
    synced.isSynced = true;
    h.setItems({s.item(QStringLiteral("ü")), synced, s.item(QStringLiteral("x"), 2)});
    QCOMPARE(h.formattedStorageSize(), QStringLiteral("6 bytes"));
    QCOMPARE(texts(h.unsyncedItems()), QStringList({QStringLiteral("ü"), QStringLiteral("x")}));
}

QTEST_GUILESS_MAIN(TestHistoryService)
#include "tst_historyservice.moc"
