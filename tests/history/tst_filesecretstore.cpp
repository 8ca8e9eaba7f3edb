#include "history/FileSecretStore.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

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

private:
    TestEnvironment m_env;
    QString m_path;
    const QString m_service = QStringLiteral("com.quillsnap.apikeys");

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
        QTest::newRow("text") << QByteArrayLiteral("sk-abc");
        QTest::newRow("binary with NUL") << QByteArray("\x00\xff\x80\x00\x01", 5);
        QTest::newRow("all byte values") << [] {
            QByteArray all;
            for (int i = 0; i < 256; ++i) {
                all.append(char(i));
            }
            return all;
        }();
    }

    void roundTrip()
    {
        QFETCH(QByteArray, secret);
        QCOMPARE(FileSecretStore(m_path).write(m_service, QStringLiteral("acc"), secret),
                 Status::Ok);
        // A fresh instance reads what is on disk, not a cache.
        const auto lookup = FileSecretStore(m_path).read(m_service, QStringLiteral("acc"));
        QCOMPARE(lookup.status, Status::Ok);
        QCOMPARE(lookup.secret, secret);
    }

    void privateModesAndNoLeftovers()
    {
        FileSecretStore store(m_path);
        QCOMPARE(store.read(m_service, QStringLiteral("a")).status, Status::NotFound);
        QVERIFY(!QFileInfo::exists(m_path)); // reading creates nothing
        QCOMPARE(store.write(m_service, QStringLiteral("a"), QByteArrayLiteral("1")), Status::Ok);
        QCOMPARE(store.write(m_service, QStringLiteral("b"), QByteArrayLiteral("2")), Status::Ok);
        QCOMPARE(QFileInfo(m_path).permissions() & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        const QFileInfo dir(QFileInfo(m_path).absolutePath());
        QCOMPARE(dir.permissions() & 0x0077, QFileDevice::Permissions());
        // The temporary file was renamed over the target and the lock released.
        QCOMPARE(QDir(dir.absoluteFilePath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("secrets.json")});
        // The secret is not in the file as plain text (base64), and the
        // format is the documented one.
        const QJsonObject root = QJsonDocument::fromJson(readAll(m_path)).object();
        QCOMPARE(root.value(QStringLiteral("format")).toInt(), 1);
        QCOMPARE(root[QStringLiteral("secrets")][m_service][QStringLiteral("a")].toString(),
                 QStringLiteral("MQ=="));
    }

    void overwriteAndNeighbours()
    {
        FileSecretStore store(m_path);
        const QString other = QStringLiteral("com.quillsnap.encryption");
        QCOMPARE(store.write(m_service, QStringLiteral("a"), QByteArrayLiteral("a1")), Status::Ok);
        QCOMPARE(store.write(m_service, QStringLiteral("b"), QByteArrayLiteral("b")), Status::Ok);
        QCOMPARE(store.write(other, QStringLiteral("a"), QByteArrayLiteral("other")), Status::Ok);
        QCOMPARE(store.write(m_service, QStringLiteral("a"), QByteArrayLiteral("a2")), Status::Ok);
        QCOMPARE(store.read(m_service, QStringLiteral("a")).secret, QByteArrayLiteral("a2"));
        QCOMPARE(store.read(m_service, QStringLiteral("b")).secret, QByteArrayLiteral("b"));
        QCOMPARE(store.read(other, QStringLiteral("a")).secret, QByteArrayLiteral("other"));
        QCOMPARE(store.read(other, QStringLiteral("b")).status, Status::NotFound);
        QCOMPARE(store.remove(m_service, QStringLiteral("missing")), Status::Ok);
        QCOMPARE(store.remove(m_service, QStringLiteral("a")), Status::Ok);
        QCOMPARE(store.read(m_service, QStringLiteral("a")).status, Status::NotFound);
        QCOMPARE(store.read(m_service, QStringLiteral("b")).secret, QByteArrayLiteral("b"));
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated JSON")
            << QByteArrayLiteral("{\"format\":1,\"secrets\":{\"s\":{\"a\":\"MQ");
        QTest::newRow("binary garbage") << QByteArray("\x00\x01\xff garbage", 11);
        QTest::newRow("unknown format") << QByteArrayLiteral("{\"format\":2,\"secrets\":{}}");
        QTest::newRow("value not base64") << QByteArrayLiteral(
            "{\"format\":1,\"secrets\":{\"com.quillsnap.apikeys\":{\"a\":\"@@@\"}}}");
        QTest::newRow("too large") << QByteArray(2 * 1024 * 1024, ' ');
    }

    void damagedFile()
    {
        QFETCH(QByteArray, content);
        writeRaw(m_path, content);
        FileSecretStore store(m_path);
        // Never "no such secret": that would invite callers to create a new one.
        QCOMPARE(store.read(m_service, QStringLiteral("a")).status, Status::Unavailable);
        QCOMPARE(store.remove(m_service, QStringLiteral("a")), Status::Unavailable);
        QCOMPARE(readAll(m_path), content);

        // A write keeps the damaged file aside, byte for byte, and starts afresh.
        QCOMPARE(store.write(m_service, QStringLiteral("b"), QByteArrayLiteral("new")), Status::Ok);
        const QDir dir(QFileInfo(m_path).absolutePath());
        const QStringList aside = dir.entryList({QStringLiteral("secrets.json.damaged-*")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(dir.filePath(aside.first())), content);
        QCOMPARE(store.read(m_service, QStringLiteral("b")).secret, QByteArrayLiteral("new"));
        QCOMPARE(store.read(m_service, QStringLiteral("a")).status, Status::NotFound);
    }

    void unreadableFileIsNeverReplaced()
    {
        // A path that exists but cannot be read as a file (permissions do not
        // stop root, a directory does).
        QVERIFY(QDir().mkpath(m_path));
        FileSecretStore store(m_path);
        QCOMPARE(store.read(m_service, QStringLiteral("a")).status, Status::Unavailable);
        QCOMPARE(store.write(m_service, QStringLiteral("a"), QByteArrayLiteral("1")),
                 Status::Unavailable);
        QCOMPARE(store.remove(m_service, QStringLiteral("a")), Status::Unavailable);
        QVERIFY(QFileInfo(m_path).isDir());
    }

    void writeFailureLeavesFileIntact()
    {
        // The store's directory cannot be created: a file is in the way.
        const QString blocked = m_env.dataHome() + QStringLiteral("/blocked");
        writeRaw(blocked, "not a directory");
        FileSecretStore store(blocked + QStringLiteral("/secrets.json"));
        QCOMPARE(store.write(m_service, QStringLiteral("a"), QByteArrayLiteral("1")),
                 Status::Unavailable);
        QCOMPARE(store.read(m_service, QStringLiteral("a")).status, Status::NotFound);
        QCOMPARE(readAll(blocked), QByteArrayLiteral("not a directory"));
    }
};

QTEST_GUILESS_MAIN(TestFileSecretStore)
#include "tst_filesecretstore.moc"
