#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include "LoopbackHttpServer.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// quillsnap-cli check-updates against a feed on a loopback server, named by
// the user's preferences as the tray application reads them.
class TestCliCheckUpdates : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    LoopbackHttpServer m_server;

    QByteArray feed(const char* version)
    {
        return "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
               "<channel><item><sparkle:version>" +
               QByteArray(version) + "</sparkle:version><enclosure url=\"" +
               m_server.url(u"/quillsnap_%1_amd64.deb"_s.arg(QLatin1String(version))).toEncoded() +
               "\" length=\"10\" sparkle:edSignature=\"c2ln\"/></item></channel></rss>";
    }

private slots:
    void initTestCase()
    {
        Preferences(m_env.configHome() + u"/quillsnap/quillsnap.conf"_s)
            .setValue(PreferenceKeys::suFeedURL, m_server.url(u"/appcast.xml"_s).toString());
    }

    void checkUpdates_data()
    {
        QTest::addColumn<QByteArray>("body"); // empty: not found
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // part of it

        const QString current = QStringLiteral(QUILLSNAP_VERSION);
        const QStringList none;
        // clang-format off
        QTest::newRow("newer") << feed("99.1") << none << 0 << u"quillsnap 99.1 is available (you have %1): %2\n"_s.arg(current, m_server.url(u"/quillsnap_99.1_amd64.deb"_s).toString()) << QString();
        QTest::newRow("up to date") << feed(QUILLSNAP_VERSION) << none << 0 << u"quillsnap %1 is up to date.\n"_s.arg(current) << QString();
        QTest::newRow("feed not found") << QByteArray() << none << 1 << QString() << u"cannot be read"_s;
        QTest::newRow("feed broken") << QByteArray("<rss><channel>") << none << 1 << QString() << u"not well-formed"_s;
        QTest::newRow("no readable version") << feed("next") << none << 1 << QString() << u"none of its releases names a version that can be read"_s;
        QTest::newRow("unexpected argument") << feed("99.1") << QStringList{u"now"_s} << 2 << QString() << u"unexpected argument 'now'"_s;
        // clang-format on
    }
    void checkUpdates()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        m_server.route(u"/appcast.xml"_s, {body, body.isEmpty() ? 404 : 200});
        QProcess cli;
        cli.start(QStringLiteral(QUILLSNAP_CLI_PATH), QStringList{u"check-updates"_s} + args);
        // The server answers on this thread's event loop: wait without blocking it.
        QVERIFY(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 30'000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), status);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out);
        const QString errText = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(err.isEmpty() ? errText.isEmpty() : errText.contains(err), qPrintable(errText));
    }
};

QTEST_GUILESS_MAIN(TestCliCheckUpdates)
#include "tst_cli_checkupdates.moc"
