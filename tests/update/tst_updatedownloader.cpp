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
const QString packagePath = u"/pool/"_s + packageName;

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

private slots:
    void download_data()
    {
        QTest::addColumn<Signature>("signature");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<qint64>("announced"); // length in the feed; -1: none
        QTest::addColumn<LoopbackHttpServer::Response>("served");
        QTest::addColumn<QByteArray>("before"); // a file under the package's name already
        QTest::addColumn<QString>("url");       // of the package; empty: on the server
        QTest::addColumn<QString>("error");     // part of the message; empty: kept
        QTest::addColumn<QString>("kept");      // the name kept under
        QTest::addColumn<int>("requests");

        const QByteArray key = m_key.publicKey();
        const qint64 size = m_package.size();
        const LoopbackHttpServer::Response whole{m_package};
        const LoopbackHttpServer::Response cut{m_package.left(size / 2), 200, size - size / 2};
        const LoopbackHttpServer::Response missing{"gone", 404};
        const QString name = packageName;
        // clang-format off
        QTest::newRow("signature good") << Signature::good << key << size << whole << QByteArray() << QString() << QString() << name << 1;
        QTest::newRow("no length announced") << Signature::good << key << qint64(-1) << whole << QByteArray() << QString() << QString() << name << 1;
        QTest::newRow("signature bad") << Signature::bad << key << size << whole << QByteArray() << QString() << u"does not match its signature and was deleted"_s << QString() << 1;
        QTest::newRow("signature missing") << Signature::missing << key << size << whole << QByteArray() << QString() << u"not signed"_s << QString() << 0;
        QTest::newRow("signature malformed") << Signature::malformed << key << size << whole << QByteArray() << QString() << u"signature cannot be read"_s << QString() << 0;
        QTest::newRow("built without a key") << Signature::good << QByteArray() << size << whole << QByteArray() << QString() << u"no key"_s << QString() << 0;
        QTest::newRow("connection cut short") << Signature::good << key << size << cut << QByteArray() << QString() << u"incomplete (100000 of 200000 bytes) and was deleted"_s << QString() << 1;
        QTest::newRow("larger than announced") << Signature::good << key << size - 10 << whole << QByteArray() << QString() << u"larger than the update announced"_s << QString() << 1;
        QTest::newRow("smaller than announced") << Signature::good << key << size + 10 << whole << QByteArray() << QString() << u"incomplete (200000 of 200010 bytes)"_s << QString() << 1;
        QTest::newRow("not on the server") << Signature::good << key << size << missing << QByteArray() << QString() << u"download failed: the server answered 404 Not Found."_s << QString() << 1;
        QTest::newRow("someone else's file stays") << Signature::good << key << size << whole << QByteArray("mine") << QString() << QString() << u"quillsnap_1.2.0_amd64 (1).deb"_s << 1;
        QTest::newRow("verified package used again") << Signature::good << key << size << whole << m_package << QString() << QString() << name << 0;
        QTest::newRow("plain http to a remote host") << Signature::good << key << size << whole << QByteArray() << u"http://updates.quillsnap.example/q.deb"_s << u"not allowed"_s << QString() << 0;
        // clang-format on
    }
    void download()
    {
        QFETCH(Signature, signature);
        QFETCH(QByteArray, key);
        QFETCH(LoopbackHttpServer::Response, served);
        QFETCH(QByteArray, before);
        QFETCH(QString, error);
        QFETCH(QString, kept);
        QTemporaryDir folder;
        QFile existing(folder.filePath(packageName));
        QVERIFY(before.isEmpty() ||
                (existing.open(QIODevice::WriteOnly) && existing.write(before)));
        existing.close();
        m_server.route(packagePath, served);
        const int hits = m_server.hits(packagePath);
        AppcastItem item;
        item.version = u"1.2.0"_s;
        QFETCH(QString, url);
        item.enclosureUrl = url.isEmpty() ? m_server.url(packagePath) : QUrl(url);
        QFETCH(qint64, announced);
        item.enclosureLength = announced;
        const QByteArray signatures[] = {
            m_key.sign(m_package), m_key.sign(m_package + "!"), {}, "bm90IGEgc2lnbmF0dXJl"};
        item.edSignature = signatures[int(signature)];

        UpdateDownloader downloader(m_network, SignatureVerifier(key), folder.path());
        std::optional<Expected<QString, QString>> result;
        downloader.download(item, [&](Expected<QString, QString> r) { result.emplace(r); });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20'000);
        QTEST(m_server.hits(packagePath) - hits, "requests");
        QVERIFY2(*result ? error.isEmpty() : !error.isEmpty() && result->error().contains(error),
                 qPrintable(*result ? result->value() : result->error()));
        // Nothing but a verified package is ever left in the folder; other files stay.
        QStringList left{kept, before.isEmpty() || kept == packageName ? QString() : packageName};
        left.removeAll(QString());
        left.sort();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), left);
        if (before.size() && kept != packageName) {
            QCOMPARE(contents(existing.fileName()), before);
        }
        if (*result) {
            QCOMPARE(result->value(), folder.filePath(kept));
            QVERIFY(contents(result->value()) == m_package);
            // Readable by the package installer, which may read it as another user.
            QVERIFY(m_server.hits(packagePath) == hits || fileMode(result->value()) == 0644);
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdateDownloader)
#include "tst_updatedownloader.moc"
