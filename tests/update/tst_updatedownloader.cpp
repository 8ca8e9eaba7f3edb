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

const QString packagePath = u"/pool/quillsnap_1.2.0_amd64.deb"_s;
const QString packageName = u"quillsnap_1.2.0_amd64.deb"_s;

QByteArray packageBytes()
{
    QByteArray data;
    for (int i = 0; i < 200'000; ++i) {
        data.append(char(i * 7 % 251));
    }
    return data;
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().toBase64()) : QString();
}

} // namespace

Q_DECLARE_METATYPE(Signature)
Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

class TestUpdateDownloader : public QObject
{
    Q_OBJECT

    TestSigningKey m_key;
    const QByteArray m_package = packageBytes();
    LoopbackHttpServer m_server;
    QNetworkAccessManager m_network;

    AppcastItem release(Signature signature, qint64 length) const
    {
        AppcastItem item;
        item.version = u"1.2.0"_s;
        item.enclosureUrl = m_server.url(packagePath);
        item.enclosureLength = length;
        switch (signature) {
        case Signature::good:
            item.edSignature = m_key.sign(m_package);
            break;
        case Signature::bad:
            item.edSignature = m_key.sign(m_package + "!");
            break;
        case Signature::missing:
            break;
        case Signature::malformed:
            item.edSignature = "bm90IGEgc2lnbmF0dXJl";
            break;
        }
        return item;
    }

    // The path kept, or the message.
    Expected<QString, QString> run(UpdateDownloader& downloader, const AppcastItem& item)
    {
        std::optional<Expected<QString, QString>> result;
        downloader.download(item, [&](Expected<QString, QString> r) { result.emplace(r); });
        if (!QTest::qWaitFor([&] { return result.has_value(); }, 20'000)) {
            return unexpected(u"no answer"_s);
        }
        return *result;
    }

private slots:
    void download_data()
    {
        QTest::addColumn<Signature>("signature");
        QTest::addColumn<bool>("withKey");
        QTest::addColumn<qint64>("announced"); // length in the feed; -1: none
        QTest::addColumn<LoopbackHttpServer::Response>("served");
        QTest::addColumn<QString>("error"); // part of the message; empty: kept
        QTest::addColumn<int>("requests");

        const qint64 size = m_package.size();
        const LoopbackHttpServer::Response whole{m_package};
        const LoopbackHttpServer::Response cut{m_package.left(size / 2), "application/octet-stream",
                                               200, size - size / 2};
        const LoopbackHttpServer::Response missing{"gone", "text/plain", 404};
        // clang-format off
        QTest::newRow("signature good") << Signature::good << true << size << whole << QString() << 1;
        QTest::newRow("no length announced") << Signature::good << true << qint64(-1) << whole << QString() << 1;
        QTest::newRow("signature bad") << Signature::bad << true << size << whole << u"does not match its signature and was deleted"_s << 1;
        QTest::newRow("signature missing") << Signature::missing << true << size << whole << u"not signed"_s << 0;
        QTest::newRow("signature malformed") << Signature::malformed << true << size << whole << u"signature cannot be read"_s << 0;
        QTest::newRow("built without a key") << Signature::good << false << size << whole << u"no key"_s << 0;
        QTest::newRow("connection cut short") << Signature::good << true << size << cut << u"incomplete (100000 of 200000 bytes) and was deleted"_s << 1;
        QTest::newRow("larger than announced") << Signature::good << true << size - 10 << whole << u"larger than the update announced"_s << 1;
        QTest::newRow("smaller than announced") << Signature::good << true << size + 10 << whole << u"incomplete (200000 of 200010 bytes)"_s << 1;
        QTest::newRow("not on the server") << Signature::good << true << size << missing << u"download failed"_s << 1;
        // clang-format on
    }
    void download()
    {
        QFETCH(Signature, signature);
        QFETCH(bool, withKey);
        QFETCH(qint64, announced);
        QFETCH(LoopbackHttpServer::Response, served);
        QFETCH(QString, error);
        QFETCH(int, requests);
        QTemporaryDir folder;
        m_server.route(packagePath, served);
        const int before = m_server.hits(packagePath);
        UpdateDownloader downloader(m_network, SignatureVerifier(withKey ? m_key.publicKey() : ""),
                                    folder.path());

        const auto kept = run(downloader, release(signature, announced));
        QCOMPARE(m_server.hits(packagePath) - before, requests);
        const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        if (!error.isEmpty()) {
            QVERIFY(!kept);
            QVERIFY2(kept.error().contains(error), qPrintable(kept.error()));
            QCOMPARE(left, QStringList());
            return;
        }
        QVERIFY2(kept, kept ? "" : qPrintable(kept.error()));
        QCOMPARE(*kept, folder.filePath(packageName));
        QCOMPARE(left, QStringList{packageName});
        QCOMPARE(readFile(*kept), QString::fromLatin1(m_package.toBase64()));
        QCOMPARE(fileMode(*kept), 0644);
    }

    void keptPackageIsUsedAgainOtherFilesStay()
    {
        QTemporaryDir folder;
        m_server.route(packagePath, {m_package});
        UpdateDownloader downloader(m_network, SignatureVerifier(m_key.publicKey()), folder.path());
        // Someone else's file under the package's name is neither used nor replaced.
        QFile other(folder.filePath(packageName));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("mine");
        other.close();
        const int before = m_server.hits(packagePath);
        const auto first = run(downloader, release(Signature::good, m_package.size()));
        QCOMPARE(first.hasValue() ? *first : first.error(),
                 folder.filePath(u"quillsnap_1.2.0_amd64 (1).deb"_s));
        QCOMPARE(readFile(other.fileName()), QString::fromLatin1(QByteArray("mine").toBase64()));
        // A verified package of that name is kept and not fetched again.
        QVERIFY(QFile::remove(other.fileName()));
        QVERIFY(QFile::rename(*first, other.fileName()));
        const auto second = run(downloader, release(Signature::good, m_package.size()));
        QCOMPARE(second.hasValue() ? *second : second.error(), other.fileName());
        QCOMPARE(m_server.hits(packagePath) - before, 1);
    }

    void addressesOutsideLoopbackNeedHttps()
    {
        QTemporaryDir folder;
        UpdateDownloader downloader(m_network, SignatureVerifier(m_key.publicKey()), folder.path());
        AppcastItem item = release(Signature::good, 10);
        item.enclosureUrl = QUrl(u"http://updates.quillsnap.example/q.deb"_s);
        const auto kept = run(downloader, item);
        QVERIFY(!kept && kept.error().contains(u"not allowed"_s));
    }
};

QTEST_GUILESS_MAIN(TestUpdateDownloader)
#include "tst_updatedownloader.moc"
