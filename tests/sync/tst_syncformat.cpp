#include "sync/CloudRecord.h"
#include "sync/SyncConfiguration.h"
#include "sync/SyncFormat.h"
#include "sync/WebDAVStorage.h"

#include "CaseTable.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSyncFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sealedRecordOpensOnlyIntact_data();
    void sealedRecordOpensOnlyIntact();
    void keyCheck_data();
    void keyCheck();
    void recordFields_data();
    void recordFields();
    void multistatus_data();
    void multistatus();
    void configuration_data();
    void configuration();

private:
    QByteArray m_salt;
    QByteArray m_key;
};

void TestSyncFormat::initTestCase()
{
    m_salt = SyncFormat::newSalt();
    m_key = SyncFormat::deriveKey("passphrase", m_salt);
    QCOMPARE(m_key.size(), 32);
    QCOMPARE(SyncFormat::deriveKey("passphrase", m_salt), m_key);
}

void TestSyncFormat::sealedRecordOpensOnlyIntact_data()
{
    QTest::addColumn<int>("flipAt"); // -1: none; byte offsets: magic, salt, nonce, body, tag
    QTest::addColumn<int>("keep");   // bytes kept; -1: all
    QTest::addColumn<QString>("openAs");
    QTest::addColumn<bool>("wrongKey");
    QTest::addColumn<bool>("opens");
    const QString name = u"0D3A0A7E-2D43-4E5B-9C1F-2B7D0E6A9F11"_s;
    QTest::newRow("intact") << -1 << -1 << name << false << true;
    QTest::newRow("other name") << -1 << -1 << u"other"_s << false << false;
    QTest::newRow("wrong key") << -1 << -1 << name << true << false;
    QTest::newRow("magic") << 1 << -1 << name << false << false;
    QTest::newRow("salt") << 10 << -1 << name << false << false;
    QTest::newRow("nonce") << 25 << -1 << name << false << false;
    QTest::newRow("body") << 40 << -1 << name << false << false;
    QTest::newRow("tag") << -2 << -1 << name << false << false;
    QTest::newRow("half") << -1 << 150 << name << false << false;
    QTest::newRow("header only") << -1 << 20 << name << false << false;
    QTest::newRow("empty") << -1 << 0 << name << false << false;
}

void TestSyncFormat::sealedRecordOpensOnlyIntact()
{
    QFETCH(int, flipAt);
    QFETCH(int, keep);
    QFETCH(QString, openAs);
    QFETCH(bool, wrongKey);
    QFETCH(bool, opens);
    const QJsonObject fields{{u"text"_s, u"Grüße 👍"_s}, {u"wordCount"_s, 2}};
    QByteArray file =
        SyncFormat::sealRecord(m_key, m_salt, u"0D3A0A7E-2D43-4E5B-9C1F-2B7D0E6A9F11"_s, fields);
    // Padded: the size tells the length only to the next 256 bytes.
    QCOMPARE((file.size() - 4 - 16 - 12 - 16) % 256, 0);
    QCOMPARE(SyncFormat::saltOfRecord(file), m_salt);
    if (flipAt != -1) {
        const qsizetype at = flipAt >= 0 ? flipAt : file.size() + flipAt;
        file[at] = char(file.at(at) ^ 0x01);
    }
    if (keep >= 0) {
        file.truncate(keep);
    }
    const QByteArray key = wrongKey ? SyncFormat::deriveKey("Passphrase", m_salt) : m_key;
    const auto opened = SyncFormat::openRecord(key, openAs, file);
    QCOMPARE(opened.has_value(), opens);
    if (opens) {
        QCOMPARE(*opened, fields);
    }
}

void TestSyncFormat::keyCheck_data()
{
    QTest::addColumn<QString>("change"); // key=value set in the file's JSON
    QTest::addColumn<QString>("passphrase");
    QTest::addColumn<QString>("outcome"); // opens, refused, or the start of the error
    QTest::newRow("right passphrase") << QString() << u"passphrase"_s << u"opens"_s;
    QTest::newRow("wrong passphrase") << QString() << u"passphrase "_s << u"refused"_s;
    QTest::newRow("newer version")
        << u"version=2"_s << u"passphrase"_s << u"The sync data was written by another version"_s;
    QTest::newRow("costlier kdf") << u"kdf.N=1048576"_s << u"passphrase"_s
                                  << u"The sync data on the server or in the folder is damaged"_s;
    QTest::newRow("short salt") << u"salt=AAAA"_s << u"passphrase"_s << u"The sync data"_s;
    QTest::newRow("not base64") << u"check=***"_s << u"passphrase"_s << u"The sync data"_s;
    QTest::newRow("other format") << u"format=x"_s << u"passphrase"_s << u"The sync data"_s;
}

void TestSyncFormat::keyCheck()
{
    QFETCH(QString, change);
    QFETCH(QString, passphrase);
    QFETCH(QString, outcome);
    QJsonObject file = QJsonDocument::fromJson(SyncFormat::keyCheckFileFor(m_key, m_salt)).object();
    if (!change.isEmpty()) {
        const QString key = change.section(u'=', 0, 0);
        const QString value = change.section(u'=', 1);
        const QJsonValue json = value.toInt() ? QJsonValue(value.toInt()) : QJsonValue(value);
        if (key.startsWith(u"kdf."_s)) {
            QJsonObject kdf = file.value(u"kdf"_s).toObject();
            kdf.insert(key.mid(4), json);
            file.insert(u"kdf"_s, kdf);
        } else {
            file.insert(key, json);
        }
    }
    const auto check = SyncFormat::parseKeyCheck(QJsonDocument(file).toJson());
    if (!check) {
        QVERIFY2(check.error().message.startsWith(outcome), qPrintable(check.error().message));
        QCOMPARE(check.error().code, CloudError::Code::incompatibleFormat);
        return;
    }
    const bool opens =
        SyncFormat::keyOpens(*check, SyncFormat::deriveKey(passphrase.toUtf8(), check->salt));
    QCOMPARE(opens ? u"opens"_s : u"refused"_s, outcome);
}

void TestSyncFormat::recordFields_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("json"); // the value, as JSON; empty: the key is removed
    QTest::addColumn<QString>("converts");
    addRows({u"→→true", u"deviceName→→false", u"text→→false", u"id→→false", u"timestamp→→false",
             u"characterCount→→false", u"wordCount→→false", u"deviceName→42→false",
             u"id→\"not-a-uuid\"→false", u"id→\"0d3a0a7e-2d43-4e5b-9c1f-2b7d0e6a9f11\"→true",
             u"wordCount→2.5→false", u"timestamp→\"2026\"→false", u"isSynced→false→true",
             u"extra→1→true"});
}

void TestSyncFormat::recordFields()
{
    QFETCH(QString, key);
    QFETCH(QString, json);
    QFETCH(QString, converts);
    HistoryItem item = HistoryItem::create(u"one two"_s, QDateTime::currentDateTimeUtc(), u"pc"_s);
    item.cloudRecordID = u"../escape"_s; // not a name: the id names it
    CloudRecord record = CloudRecord::fromItem(item);
    QCOMPARE(record.recordName, item.idText());
    QCOMPARE(record.fields.size(), 6);
    if (!key.isEmpty() && json.isEmpty()) {
        record.fields.remove(key);
    } else if (!key.isEmpty()) {
        record.fields.insert(key, QJsonDocument::fromJson("[" + json.toUtf8() + "]").array().at(0));
    }
    const auto back = record.toItem();
    QCOMPARE(back.has_value(), converts == u"true"_s);
    if (back) {
        QCOMPARE(back->idText(), record.fields.value(u"id"_s).toString().toUpper());
        QCOMPARE(back->text, item.text);
        QCOMPARE(back->timestamp, item.timestamp);
        QCOMPARE(back->wordCount, 2);
        QVERIFY(back->isSynced);
        QCOMPARE(back->cloudRecordID, record.recordName);
    }
}

void TestSyncFormat::multistatus_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("entries"); // name:size, comma-separated; "null": not a listing
    const QByteArray head = "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\">";
    const QByteArray folder = "<D:response><D:href>/dav/q/records/</D:href><D:propstat><D:prop>"
                              "<D:resourcetype><D:collection/></D:resourcetype></D:prop>"
                              "</D:propstat></D:response>";
    QTest::newRow("rclone") << head + folder +
                                   "<D:response><D:href>/dav/q/records/A.qsr</D:href><D:propstat>"
                                   "<D:prop><D:resourcetype></D:resourcetype><D:getcontentlength>"
                                   "304</D:getcontentlength></D:prop></D:propstat></D:response>"
                                   "</D:multistatus>"
                            << u"A.qsr:304"_s;
    QTest::newRow("nextcloud, other prefix, full URL, escapes")
        << QByteArray("<d:multistatus xmlns:d=\"DAV:\" xmlns:oc=\"http://owncloud.org/ns\">"
                      "<d:response><d:href>https://h/remote.php/dav/files/me/q/records/"
                      "B%2D1.qsr</d:href><d:propstat><d:prop><oc:size>1</oc:size>"
                      "<d:resourcetype/></d:prop></d:propstat></d:response>"
                      "<d:response><d:href>/x/C.qsr</d:href></d:response></d:multistatus>")
        << u"B-1.qsr:-1,C.qsr:-1"_s;
    QTest::newRow("empty listing") << head + folder + "</D:multistatus>" << QString();
    QTest::newRow("html error page") << QByteArray("<html><body>login</body></html>") << u"null"_s;
    QTest::newRow("cut short") << head + folder.left(40) << u"null"_s;
}

void TestSyncFormat::multistatus()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, entries);
    const auto parsed = WebDAVStorage::parseMultistatus(xml);
    QStringList got;
    for (const auto& entry : parsed.value_or(QList<SyncStorage::Entry>())) {
        got.append(entry.name + u':' + QString::number(entry.size));
    }
    QCOMPARE(parsed ? got.join(u',') : u"null"_s, entries);
}

void TestSyncFormat::configuration_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("problem"); // empty: accepted
    addRows({
        u"webdav→https://cloud.example.org/remote.php/dav/files/me/q→",
        u"→https://cloud.example.org/dav→",
        u"webdav→http://127.0.0.1:8080/q→",
        u"webdav→http://localhost/q→",
        u"webdav→http://[::1]:80/q→",
        u"webdav→http://cloud.example.org/q→the WebDAV address must start with https://",
        u"webdav→http://127.0.0.1.example.org/q→the WebDAV address must start with https://",
        u"webdav→ftp://cloud.example.org/q→\"ftp://cloud.example.org/q\" is not a WebDAV address",
        u"webdav→https://me:pw@cloud.example.org/q→the WebDAV address must not contain",
        u"webdav→→no WebDAV address is set",
        u"folder→/home/me/Sync/quillsnap→",
        u"folder→Sync/quillsnap→the sync folder \"Sync/quillsnap\" is not an absolute path",
        u"folder→→no sync folder is set",
        u"dropbox→x→the sync method \"dropbox\" is unknown",
    });
}

void TestSyncFormat::configuration()
{
    QFETCH(QString, backend);
    QFETCH(QString, location);
    QFETCH(QString, problem);
    const auto config = SyncConfiguration::make(backend, location, u"me"_s, location);
    QVERIFY2(config ? problem.isEmpty() : config.error().startsWith(problem) && !problem.isEmpty(),
             qPrintable(config ? u"accepted"_s : config.error()));
}

QTEST_GUILESS_MAIN(TestSyncFormat)
#include "tst_syncformat.moc"
