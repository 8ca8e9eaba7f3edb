#include "sync/CloudRecord.h"
#include "sync/SyncConfiguration.h"
#include "sync/SyncFormat.h"
#include "sync/WebDAVStorage.h"

#include "CaseTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSyncFormat : public QObject
{
    Q_OBJECT
    QByteArray m_salt = SyncFormat::newSalt();
    QByteArray m_key = SyncFormat::deriveKey("passphrase", m_salt);

private slots:
    void sealedRecordOpensOnlyIntact_data()
    {
        // Only the intact record opens. Changes: a byte flipped (in the magic,
        // salt, nonce, body, tag), a prefix kept, another name or key.
        QTest::addColumn<QString>("change");
        addRows({u"", u"name", u"key", u"flip 1", u"flip 10", u"flip 25", u"flip 40", u"flip -2",
                 u"keep 150", u"keep 20", u"keep 0"});
    }
    void sealedRecordOpensOnlyIntact()
    {
        QFETCH(QString, change);
        const QString name = u"0D3A0A7E-2D43-4E5B-9C1F-2B7D0E6A9F11"_s;
        const QJsonObject fields{{u"text"_s, u"Grüße 👍"_s}, {u"wordCount"_s, 2}};
        QByteArray file = SyncFormat::sealRecord(m_key, m_salt, name, fields);
        QCOMPARE(m_key.size(), 32);
        QCOMPARE(SyncFormat::saltOfRecord(file), m_salt);
        // Padded: the size tells the length of the text to 256 bytes only.
        QCOMPARE((file.size() - 4 - 16 - 12 - 16) % 256, 0);
        const int n = change.section(u' ', 1).toInt();
        if (change.startsWith(u"flip"_s)) {
            const qsizetype at = n >= 0 ? n : file.size() + n;
            file[at] = char(file.at(at) ^ 0x01);
        } else if (change.startsWith(u"keep"_s)) {
            file.truncate(n);
        }
        const QByteArray key =
            change == u"key"_s ? SyncFormat::deriveKey("Passphrase", m_salt) : m_key;
        const auto opened = SyncFormat::openRecord(key, change == u"name"_s ? u"x"_s : name, file);
        QCOMPARE(opened.has_value(), change.isEmpty());
        QVERIFY(!opened || *opened == fields);
    }

    void keyCheck_data()
    {
        // key=value set in the file's JSON, the passphrase, and: opens,
        // refused, or the start of the error.
        rows({u"→passphrase→opens", u"→passphrase →refused",
              u"version=2→passphrase→The sync data was written by another version",
              u"kdf.N=1048576→passphrase→The sync data on the server or in the folder is damaged",
              u"salt=AAAA→passphrase→The sync data", u"check=***→passphrase→The sync data",
              u"format=x→passphrase→The sync data"});
    }
    void keyCheck()
    {
        const QStringList f = fields();
        const QString change = f[0], passphrase = f[1], outcome = f[2];
        QJsonObject file =
            QJsonDocument::fromJson(SyncFormat::keyCheckFileFor(m_key, m_salt)).object();
        const QString key = change.section(u'=', 0, 0);
        const QString value = change.section(u'=', 1);
        const QJsonValue json = value.toInt() ? QJsonValue(value.toInt()) : QJsonValue(value);
        if (key.startsWith(u"kdf."_s)) {
            QJsonObject kdf = file.value(u"kdf"_s).toObject();
            kdf.insert(key.mid(4), json);
            file.insert(u"kdf"_s, kdf);
        } else if (!key.isEmpty()) {
            file.insert(key, json);
        }
        const auto check = SyncFormat::parseKeyCheck(QJsonDocument(file).toJson());
        if (!check) {
            QVERIFY2(check.error().message.startsWith(outcome), qPrintable(check.error().message));
            QCOMPARE(check.error().code, CloudError::Code::incompatibleFormat);
            return;
        }
        const QByteArray derived = SyncFormat::deriveKey(passphrase.toUtf8(), check->salt);
        QCOMPARE(SyncFormat::keyOpens(*check, derived) ? u"opens"_s : u"refused"_s, outcome);
    }

    void recordFields_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("json"); // the value, as JSON; empty: the key is removed
        QTest::addColumn<QString>("converts");
        addRows({u"→→yes", u"deviceName→→no", u"text→→no", u"id→→no", u"timestamp→→no",
                 u"characterCount→→no", u"wordCount→→no", u"deviceName→42→no",
                 u"id→\"not-a-uuid\"→no", u"id→\"0d3a0a7e-2d43-4e5b-9c1f-2b7d0e6a9f11\"→yes",
                 u"wordCount→2.5→no", u"timestamp→\"2026\"→no", u"isSynced→false→yes",
                 u"extra→1→yes"});
    }
    void recordFields()
    {
        QFETCH(QString, key);
        QFETCH(QString, json);
        HistoryItem item = HistoryItem::create(u"one two"_s, QDateTime::currentDateTimeUtc());
        item.cloudRecordID = u"../escape"_s; // not a name: the id names it
        CloudRecord record = CloudRecord::fromItem(item);
        QCOMPARE(record.recordName, item.idText());
        QCOMPARE(record.fields.size(), 6);
        if (!key.isEmpty() && json.isEmpty()) {
            record.fields.remove(key);
        } else if (!key.isEmpty()) {
            record.fields.insert(key, QJsonDocument::fromJson("[" + json.toUtf8() + "]")[0]);
        }
        const auto back = record.toItem();
        QTEST(back ? u"yes"_s : u"no"_s, "converts");
        if (back) {
            QCOMPARE(back->idText(), record.fields.value(u"id"_s).toString().toUpper());
            QVERIFY(back->text == item.text && back->timestamp == item.timestamp);
            QVERIFY(back->isSynced && back->cloudRecordID == record.recordName);
        }
    }

    void multistatus_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("entries"); // name:size, comma-separated; "null": no listing
        const QByteArray head = "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\">";
        const QByteArray folder = "<D:response><D:href>/dav/q/records/</D:href><D:propstat><D:prop>"
                                  "<D:resourcetype><D:collection/></D:resourcetype></D:prop>"
                                  "</D:propstat></D:response>";
        QTest::newRow("rclone")
            << head + folder +
                   "<D:response><D:href>/dav/q/records/A.qsr</D:href><D:propstat><D:prop>"
                   "<D:resourcetype></D:resourcetype><D:getcontentlength>304</D:getcontentlength>"
                   "</D:prop></D:propstat></D:response></D:multistatus>"
            << u"A.qsr:304"_s;
        QTest::newRow("nextcloud: other prefix, full URL, escapes")
            << QByteArray("<d:multistatus xmlns:d=\"DAV:\" xmlns:oc=\"http://owncloud.org/ns\">"
                          "<d:response><d:href>https://h/remote.php/dav/files/me/q/records/"
                          "B%2D1.qsr</d:href><d:propstat><d:prop><oc:size>1</oc:size>"
                          "<d:resourcetype/></d:prop></d:propstat></d:response>"
                          "<d:response><d:href>/x/C.qsr</d:href></d:response></d:multistatus>")
            << u"B-1.qsr:-1,C.qsr:-1"_s;
        QTest::newRow("empty listing") << head + folder + "</D:multistatus>" << QString();
        QTest::newRow("html page") << QByteArray("<html><body>login</body></html>") << u"null"_s;
        QTest::newRow("cut short") << head + folder.left(40) << u"null"_s;
    }
    void multistatus()
    {
        QFETCH(QByteArray, xml);
        const auto parsed = WebDAVStorage::parseMultistatus(xml);
        QStringList got;
        for (const auto& entry : parsed.value_or(QList<SyncStorage::Entry>())) {
            got.append(entry.name + u':' + QString::number(entry.size));
        }
        QTEST(parsed ? got.join(u',') : u"null"_s, "entries");
    }

    void configuration_data()
    {
        // backend, location, the problem (empty: accepted)
        rows({
            u"webdav→https://cloud.example.org/remote.php/dav/files/me/q→",
            u"→https://cloud.example.org/dav→",
            u"webdav→http://127.0.0.1:8080/q→",
            u"webdav→http://localhost/q→",
            u"webdav→http://[::1]:80/q→",
            u"webdav→http://cloud.example.org/q→the WebDAV address must start with https://",
            u"webdav→http://127.0.0.1.example.org/q→the WebDAV address must start with https://",
            u"webdav→ftp://cloud.example.org/q→\"ftp://cloud.example.org/q\" is not a WebDAV "
            u"address",
            u"webdav→https://me:pw@cloud.example.org/q→the WebDAV address must not contain",
            u"webdav→→no WebDAV address is set",
            u"folder→/home/me/Sync/quillsnap→",
            u"folder→Sync/quillsnap→the sync folder \"Sync/quillsnap\" is not an absolute path",
            u"folder→→no sync folder is set",
            u"dropbox→x→the sync method \"dropbox\" is unknown",
        });
    }
    void configuration()
    {
        const QStringList f = fields();
        const auto config = SyncConfiguration::make(f[0], f[1], u"me"_s, f[1]);
        QVERIFY2(config ? f[2].isEmpty() : !f[2].isEmpty() && config.error().startsWith(f[2]),
                 qPrintable(config ? u"accepted"_s : config.error()));
    }
};

QTEST_GUILESS_MAIN(TestSyncFormat)
#include "tst_syncformat.moc"
