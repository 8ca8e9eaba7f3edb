#include "history/FileSecretStore.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;
using Status = SecretStore::Status;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

} // namespace

class TestFileSecretStore : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    QString m_path;
    const QString m_service = u"com.quillsnap.apikeys"_s;

private slots:
    void init()
    {
        QDir(m_env.dataHome()).removeRecursively();
        QDir().mkpath(m_env.dataHome());
        m_path = FileSecretStore::defaultPath();
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QByteArray all;
        for (int i = 0; i < 256; ++i) {
            all.append(char(i));
        }
        QTest::newRow("text") << QByteArray("sk-abc");
        QTest::newRow("all byte values, NUL first") << all;
    }
    void roundTrip()
    {
        QFETCH(QByteArray, secret);
        QCOMPARE(FileSecretStore(m_path).write(m_service, u"acc"_s, secret), Status::Ok);
        // A fresh instance reads what is on disk, not a cache.
        const auto lookup = FileSecretStore(m_path).read(m_service, u"acc"_s);
        QCOMPARE(lookup.status, Status::Ok);
        QCOMPARE(lookup.secret, secret);
    }

    void privateModesAndNoLeftovers()
    {
        FileSecretStore store(m_path);
        QCOMPARE(store.read(m_service, u"a"_s).status, Status::NotFound);
        QVERIFY(!QFileInfo::exists(m_path)); // reading creates nothing
        QCOMPARE(store.write(m_service, u"a"_s, "1"), Status::Ok);
        QCOMPARE(store.write(m_service, u"b"_s, "2"), Status::Ok);
        QCOMPARE(QFileInfo(m_path).permissions() & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        const QFileInfo dir(QFileInfo(m_path).absolutePath());
        QCOMPARE(dir.permissions() & 0x0077, QFileDevice::Permissions());
        // The temporary file was renamed over the target and the lock released.
        QCOMPARE(QDir(dir.absoluteFilePath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"secrets.json"_s});
        // The secret is not in the file as plain text (base64), and the
        // format is the documented one.
        const QJsonObject root = QJsonDocument::fromJson(readAll(m_path)).object();
        QCOMPARE(root.value("format"_L1).toInt(), 1);
        QCOMPARE(root["secrets"_L1][m_service]["a"_L1].toString(), u"MQ=="_s);
    }

    void overwriteAndNeighbours()
    {
        FileSecretStore store(m_path);
        const QString other = u"com.quillsnap.encryption"_s;
        const auto read = [&](const QString& service, const QString& account) {
            const auto lookup = store.read(service, account);
            return lookup.status == Status::NotFound ? QByteArray("-") : lookup.secret;
        };
        const QList<QStringList> writes{{m_service, u"a"_s, u"a1"_s},
                                        {m_service, u"b"_s, u"b"_s},
                                        {other, u"a"_s, u"other"_s},
                                        {m_service, u"a"_s, u"a2"_s}};
        for (const QStringList& w : writes) {
            QCOMPARE(store.write(w[0], w[1], w[2].toUtf8()), Status::Ok);
        }
        QCOMPARE(read(m_service, u"a"_s) + read(m_service, u"b"_s) + read(other, u"a"_s) +
                     read(other, u"b"_s),
                 "a2bother-");
        QCOMPARE(store.remove(m_service, u"missing"_s), Status::Ok);
        QCOMPARE(store.remove(m_service, u"a"_s), Status::Ok);
        QCOMPARE(read(m_service, u"a"_s) + read(m_service, u"b"_s) + read(other, u"a"_s),
                 "-bother");
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated JSON")
            << QByteArray("{\"format\":1,\"secrets\":{\"s\":{\"a\":\"MQ");
        QTest::newRow("binary garbage") << QByteArray("\x00\x01\xff garbage", 11);
        QTest::newRow("unknown format") << QByteArray("{\"format\":2,\"secrets\":{}}");
        QTest::newRow("value not base64")
            << QByteArray("{\"format\":1,\"secrets\":{\"com.quillsnap.apikeys\":{\"a\":\"@@@\"}}}");
        QTest::newRow("too large") << QByteArray(2 * 1024 * 1024, ' ');
    }
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        writeRaw(m_path, content);
        FileSecretStore store(m_path);
        // Never "no such secret": that would invite callers to create a new one.
        QCOMPARE(store.read(m_service, u"a"_s).status, Status::Unavailable);
        QCOMPARE(store.remove(m_service, u"a"_s), Status::Unavailable);
        QCOMPARE(readAll(m_path), content);

        // A write keeps the damaged file aside, byte for byte, and starts afresh.
        QCOMPARE(store.write(m_service, u"b"_s, "new"), Status::Ok);
        const QDir dir(QFileInfo(m_path).absolutePath());
        const QStringList aside = dir.entryList({u"secrets.json.damaged-*"_s});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(dir.filePath(aside.first())), content);
        QCOMPARE(store.read(m_service, u"b"_s).secret, "new");
        QCOMPARE(store.read(m_service, u"a"_s).status, Status::NotFound);
    }

    // A path that cannot be read as a file (permissions do not stop root, a
    // directory does) is never replaced; a file where the store's directory
    // belongs fails the write and stays.
    void unusablePathsAreLeftAlone()
    {
        QVERIFY(QDir().mkpath(m_path));
        FileSecretStore store(m_path);
        QCOMPARE(store.read(m_service, u"a"_s).status, Status::Unavailable);
        QCOMPARE(store.write(m_service, u"a"_s, "1"), Status::Unavailable);
        QCOMPARE(store.remove(m_service, u"a"_s), Status::Unavailable);
        QVERIFY(QFileInfo(m_path).isDir());

        const QString blocked = m_env.dataHome() + u"/blocked"_s;
        writeRaw(blocked, "not a directory");
        FileSecretStore inside(blocked + u"/secrets.json"_s);
        QCOMPARE(inside.write(m_service, u"a"_s, "1"), Status::Unavailable);
        QCOMPARE(inside.read(m_service, u"a"_s).status, Status::NotFound);
        QCOMPARE(readAll(blocked), "not a directory");
    }
};

QTEST_GUILESS_MAIN(TestFileSecretStore)
#include "tst_filesecretstore.moc"
