#include "update/UpdateDownloader.h"

#include "FileMode.h"
#include "LoopbackHttpServer.h"
#include "TestSigningKey.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
enum class Signature { good, bad, missing, malformed };
const QString packageName = u"quillsnap_1.2.0_amd64.deb"_s;

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

Q_DECLARE_METATYPE(Signature)
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

class TestUpdateDownloader : public QObject
{
    Q_OBJECT

    TestSigningKey m_key;
    const QByteArray m_package = QByteArray(100'000, 'a') + QByteArray(100'000, 'b');
    LoopbackHttpServer m_server;
    QNetworkAccessManager m_network;

    AppcastItem release(Signature signature, qint64 length) const
    {
        AppcastItem item;
        item.version = u"1.2.0"_s;
        item.enclosureUrl = m_server.url(u"/pool/"_s + packageName);
        item.enclosureLength = length;
        const QByteArray signatures[] = {
            m_key.sign(m_package), m_key.sign(m_package + "!"), {}, "bm90IGEgc2lnbmF0dXJl"};
        item.edSignature = signatures[int(signature)];
        return item;
    }
    // The path kept, or the message.
    Expected<QString, QString> run(UpdateDownloader& downloader, const AppcastItem& item)
    {
        std::optional<Expected<QString, QString>> result;
        downloader.download(item, [&](Expected<QString, QString> r) { result.emplace(r); });
        return QTest::qWaitFor([&] { return result.has_value(); }, 20'000)
                   ? *result
                   : Expected<QString, QString>(unexpected(u"no answer"_s));
    }

private slots:
    void download_data()
    {
        QTest::addColumn<Signature>("signature");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<qint64>("announced"); // length in the feed; -1: none
        QTest::addColumn<LoopbackHttpServer::Response>("served");
        QTest::addColumn<QString>("error"); // part of the message; empty: kept
        QTest::addColumn<int>("requests");

        const QByteArray key = m_key.publicKey();
        const qint64 size = m_package.size();
        const LoopbackHttpServer::Response whole{m_package};
        const LoopbackHttpServer::Response cut{m_package.left(size / 2), 200, size - size / 2};
        const LoopbackHttpServer::Response missing{"gone", 404};
        // clang-format off
        QTest::newRow("signature good") << Signature::good << key << size << whole << QString() << 1;
        QTest::newRow("no length announced") << Signature::good << key << qint64(-1) << whole << QString() << 1;
        QTest::newRow("signature bad") << Signature::bad << key << size << whole << u"does not match its signature and was deleted"_s << 1;
        QTest::newRow("signature missing") << Signature::missing << key << size << whole << u"not signed"_s << 0;
        QTest::newRow("signature malformed") << Signature::malformed << key << size << whole << u"signature cannot be read"_s << 0;
        QTest::newRow("built without a key") << Signature::good << QByteArray() << size << whole << u"no key"_s << 0;
        QTest::newRow("connection cut short") << Signature::good << key << size << cut << u"incomplete (100000 of 200000 bytes) and was deleted"_s << 1;
        QTest::newRow("larger than announced") << Signature::good << key << size - 10 << whole << u"larger than the update announced"_s << 1;
        QTest::newRow("smaller than announced") << Signature::good << key << size + 10 << whole << u"incomplete (200000 of 200010 bytes)"_s << 1;
        QTest::newRow("not on the server") << Signature::good << key << size << missing << u"download failed: the server answered 404 Not Found."_s << 1;
        // clang-format on
    }
    void download()
    {
        QFETCH(Signature, signature);
        QFETCH(QByteArray, key);
        QFETCH(qint64, announced);
        QFETCH(LoopbackHttpServer::Response, served);
        QFETCH(QString, error);
        QFETCH(int, requests);
        QTemporaryDir folder;
        m_server.route(u"/pool/"_s + packageName, served);
        const int before = m_server.hits(u"/pool/"_s + packageName);
        UpdateDownloader downloader(m_network, SignatureVerifier(key), folder.path());

        const auto kept = run(downloader, release(signature, announced));
        QCOMPARE(m_server.hits(u"/pool/"_s + packageName) - before, requests);
        QVERIFY2(kept ? error.isEmpty() : !error.isEmpty() && kept.error().contains(error),
                 qPrintable(kept ? *kept : kept.error()));
        // Nothing but a verified package is ever left in the folder.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 error.isEmpty() ? QStringList{packageName} : QStringList());
        if (kept) {
            QCOMPARE(*kept, folder.filePath(packageName));
            QVERIFY(contents(*kept) == m_package);
            QCOMPARE(fileMode(*kept), 0644); // the package installer may read it as another user
        }
    }

    void keptPackageIsUsedAgainOtherFilesStay()
    {
        QTemporaryDir folder;
        m_server.route(u"/pool/"_s + packageName, {m_package});
        UpdateDownloader downloader(m_network, SignatureVerifier(m_key.publicKey()), folder.path());
        QFile other(folder.filePath(packageName));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("mine") == 4);
        other.close();
        const int before = m_server.hits(u"/pool/"_s + packageName);
        // Someone else's file under the package's name is neither used nor replaced.
        const auto first = run(downloader, release(Signature::good, m_package.size()));
        QCOMPARE(first.hasValue() ? *first : first.error(),
                 folder.filePath(u"quillsnap_1.2.0_amd64 (1).deb"_s));
        QCOMPARE(contents(other.fileName()), QByteArray("mine"));
        // A verified package of that name is used as it is.
        QVERIFY(QFile::remove(other.fileName()) && QFile::rename(*first, other.fileName()));
        const auto second = run(downloader, release(Signature::good, m_package.size()));
        QCOMPARE(second.hasValue() ? *second : second.error(), other.fileName());
        QCOMPARE(m_server.hits(u"/pool/"_s + packageName) - before, 1);
        // Plain http goes to loopback hosts only.
        AppcastItem remote = release(Signature::good, 10);
        remote.enclosureUrl = QUrl(u"http://updates.quillsnap.example/q.deb"_s);
        const auto refused = run(downloader, remote);
        QVERIFY(!refused && refused.error().contains(u"not allowed"_s));
    }
};

QTEST_GUILESS_MAIN(TestUpdateDownloader)
#include "tst_updatedownloader.moc"
