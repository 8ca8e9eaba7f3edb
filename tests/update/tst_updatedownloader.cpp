#include "update/UpdateDownloader.h"

#include "CaseTable.h"
#include "FileMode.h"
#include "LoopbackHttpServer.h"
#include "TestSigningKey.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString packageName = u"quillsnap_1.2.0_amd64.deb"_s;
const QString packagePath = u"/pool/"_s + packageName;

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestUpdateDownloader : public QObject
{
    Q_OBJECT

    TestSigningKey m_key;
    const QByteArray m_package = QByteArray(100'000, 'a') + QByteArray(100'000, 'b');
    LoopbackHttpServer m_server;
    QNetworkAccessManager m_network;

private slots:
    // The signature (good, bad, missing, malformed); whether the build has
    // the key; the length announced (the package's size and this much more;
    // "-": none); what the server sends (whole, cut short, 404); a file of
    // that name already there (its content; "package": the package); the
    // package's address (empty: on the server); part of the error (empty:
    // kept); the name kept under ("=": the package's); requests made.
    void download_data()
    {
        // clang-format off
        rows({u"good→key→0→whole→→→→=→1", u"good→key→-→whole→→→→=→1",
              u"bad→key→0→whole→→→does not match its signature and was deleted→→1",
              u"missing→key→0→whole→→→not signed→→0",
              u"malformed→key→0→whole→→→signature cannot be read→→0",
              u"good→→0→whole→→→no key→→0",
              u"good→key→0→cut→→→incomplete (100000 of 200000 bytes) and was deleted→→1",
              u"good→key→-10→whole→→→larger than the update announced→→1",
              u"good→key→10→whole→→→incomplete (200000 of 200010 bytes)→→1",
              u"good→key→0→404→→→download failed: the server answered 404 Not Found.→→1",
              u"good→key→0→whole→mine→→→quillsnap_1.2.0_amd64 (1).deb→1", // someone else's stays
              u"good→key→0→whole→package→→→=→0", // a verified package is used again
              u"good→key→0→whole→→http://updates.quillsnap.example/q.deb→not allowed→→0"});
        // clang-format on
    }
    void download()
    {
        const QStringList f = fields();
        const qint64 size = m_package.size();
        const QByteArray before = f[4] == u"package" ? m_package : f[4].toUtf8();
        const QString error = f[6], kept = f[7] == u"=" ? packageName : f[7];
        QTemporaryDir folder;
        QFile existing(folder.filePath(packageName));
        QVERIFY(before.isEmpty() ||
                (existing.open(QIODevice::WriteOnly) && existing.write(before)));
        existing.close();
        const QMap<QString, LoopbackHttpServer::Response> served{
            {u"whole"_s, {m_package}},
            {u"cut"_s, {m_package.left(size / 2), 200, size - size / 2}},
            {u"404"_s, {"gone", 404}}};
        m_server.route(packagePath, served.value(f[3]));
        const int hits = m_server.hits(packagePath);
        AppcastItem item;
        item.version = u"1.2.0"_s;
        item.enclosureUrl = f[5].isEmpty() ? m_server.url(packagePath) : QUrl(f[5]);
        item.enclosureLength = f[2] == u"-" ? -1 : size + f[2].toInt();
        const QByteArray signatures[] = {
            m_key.sign(m_package), m_key.sign(m_package + "!"), {}, "bm90IGEgc2lnbmF0dXJl"};
        item.edSignature = signatures[u"good bad missing malformed"_s.split(u' ').indexOf(f[0])];

        UpdateDownloader downloader(
            m_network, SignatureVerifier(f[1].isEmpty() ? QByteArray() : m_key.publicKey()),
            folder.path());
        std::optional<Expected<QString, QString>> result;
        downloader.download(item, [&](Expected<QString, QString> r) { result.emplace(r); });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20'000);
        QCOMPARE(m_server.hits(packagePath) - hits, f[8].toInt());
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
