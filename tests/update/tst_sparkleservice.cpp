#include "update/SparkleService.h"

#include "common/Clock.h"
#include "feedback/Notifier.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "update/UpdateWindow.h"
#include "update/UpdaterController.h"

#include "CaseTable.h"
#include "LoopbackHttpServer.h"
#include "TestSigningKey.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct RecordingNotifier : Notifier
{
    QStringList titles;
    void post(const QString& title, const QString&) override { titles << title; }
};

// One user: preferences naming the feed, a clock standing still, a download
// folder, and the service as main() builds it, for version 1.1.0.
struct Rig
{
    QTemporaryDir dir;
    Preferences prefs{dir.filePath(u"quillsnap.conf"_s)};
    ManualClock clock{QDateTime(QDate(2026, 4, 10), QTime(9, 0), Qt::UTC)};
    RecordingNotifier notifier;
    QList<QUrl> opened;
    std::unique_ptr<SparkleService> service;

    Rig(const QUrl& feed, const QByteArray& publicKey)
    {
        prefs.setValue(PreferenceKeys::suFeedURL, feed.toString());
        service = std::make_unique<SparkleService>(
            SparkleService::Setup{&prefs,
                                  &notifier,
                                  &clock,
                                  {u"1.1.0"_s, u"12"_s},
                                  publicKey,
                                  downloads(),
                                  [this](const QUrl& url) { opened << url; }});
    }
    QString downloads() const { return dir.filePath(u"Downloads"_s); }
    QStringList downloaded() const
    {
        return QDir(downloads()).entryList(QDir::Files | QDir::Hidden);
    }
    UpdateWindow* window() const { return service->window(); }
    bool shown() const { return window() && window()->isVisible(); }
    bool answered() const
    {
        return QTest::qWaitFor(
            [&] { return window() && !window()->titleText().startsWith(u"Checking"_s); });
    }
};

} // namespace

class TestSparkleService : public QObject
{
    Q_OBJECT

    TestSigningKey m_key;
    LoopbackHttpServer m_server;
    const QByteArray m_package = QByteArray(50'000, 'q');

    QByteArray feed(const char* version, const QByteArray& extra = {}, bool signedWell = true)
    {
        return "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
               "<channel><item><sparkle:version>" +
               QByteArray(version) + "</sparkle:version>" + extra + "<enclosure url=\"" +
               m_server.url(u"/quillsnap_1.2.0_amd64.deb"_s).toEncoded() +
               "\" length=\"50000\" sparkle:edSignature=\"" +
               m_key.sign(signedWell ? m_package : "other") + "\"/></item></channel></rss>";
    }
private slots:
    void initTestCase()
    {
        m_server.route(u"/quillsnap_1.2.0_amd64.deb"_s, {m_package});
        m_server.route(u"/notes.html"_s, {"<h2>What's new</h2><p>Faster capture</p>"});
    }

    // A check the user asks for answers in the window, whose buttons act.
    // The feed: a version (empty: not on the server; an address: the feed is
    // there) with more of its item ("$" the server) and "bad" for a package
    // signed wrongly; then the window's title ("A": a new version available),
    // part of its message ("O": the offer), part of the notes, its buttons
    // ("S,R,D": Skip, Remind, Download), those pressed, the version skipped
    // and the files kept in the download folder.
    void userCheck_data()
    {
        // clang-format off
        rows({u"1.1.0→→→You're up to date!→quillsnap 1.1.0 is up to date.→→OK→OK→→",
              u"1.2.0→<sparkle:releaseNotesLink>$/notes.html</sparkle:releaseNotesLink><description>unused</description>→→A→O→Faster capture→S,R,D→Skip This Version→1.2.0→",
              u"1.2.0→<description><![CDATA[<p>Inline notes</p>]]></description>→→A→O→Inline notes→S,R,D→Remind Me Later→→",
              u"1.2.0→<sparkle:releaseNotesLink>$/gone.html</sparkle:releaseNotesLink><description>Short</description>→→A→O→cannot be loaded: the server answered 404 Not Found.\nShort→S,R,D→→→",
              u"1.2.0→→→A→O→→S,R,D→Download,Open Package→→quillsnap_1.2.0_amd64.deb",
              u"1.2.0→→bad→A→O→→S,R,D→Download,OK→→",
              u"→→→Update Error→cannot be read: the server answered 404 Not Found.→→OK→→→",
              u"http://updates.quillsnap.example/appcast.xml→→→Update Error→not an allowed address→→OK→→→"});
        // clang-format on
    }
    void userCheck()
    {
        const QStringList f = fields();
        const QString title = f[3] == u"A" ? u"A new version of quillsnap is available!"_s : f[3];
        const QString message =
            f[4] == u"O" ? u"quillsnap 1.2.0 is now available—you have 1.1.0."_s : f[4];
        const QString notes = f[5];
        const QStringList buttons = QString(f[6])
                                        .replace(u"S"_s, u"Skip This Version"_s)
                                        .replace(u"R"_s, u"Remind Me Later"_s)
                                        .replace(u"D"_s, u"Download"_s)
                                        .split(u',');
        const QStringList press = f[7].split(u',', Qt::SkipEmptyParts);
        const QStringList files = f[9].split(u',', Qt::SkipEmptyParts);
        const bool address = f[0].startsWith(u"http");
        const QByteArray body =
            f[0].isEmpty() || address
                ? QByteArray()
                : feed(f[0].toLatin1().constData(),
                       QString(f[1]).replace(u"$"_s, m_server.url(u""_s).toString()).toUtf8(),
                       f[2] != u"bad");
        m_server.route(u"/appcast.xml"_s, {body, body.isEmpty() ? 404 : 200});
        Rig rig(address ? QUrl(f[0]) : m_server.url(u"/appcast.xml"_s), m_key.publicKey());
        rig.service->checkForUpdates();
        QVERIFY(rig.shown() && rig.answered());
        QCOMPARE(rig.window()->titleText(), title);
        QVERIFY2(rig.window()->messageText().contains(message),
                 qPrintable(rig.window()->messageText()));
        QCOMPARE(rig.window()->buttonTexts(), buttons);
        QTRY_VERIFY2(rig.window()->releaseNotesText().contains(notes),
                     qPrintable(rig.window()->releaseNotesText()));
        for (const QString& button : press) {
            QTRY_VERIFY(rig.window() && rig.window()->buttonTexts().contains(button));
            QVERIFY(rig.window()->press(button));
        }
        QTRY_VERIFY(press.isEmpty() || !rig.window());
        QCOMPARE(rig.prefs.stringValue(PreferenceKeys::suSkippedVersion).value_or(QString()), f[8]);
        QCOMPARE(rig.downloaded(), files);
        const QUrl package = QUrl::fromLocalFile(QDir(rig.downloads()).filePath(files.value(0)));
        const bool opened = press.contains(u"Open Package"_s);
        QCOMPARE(rig.opened, opened ? QList<QUrl>{package} : QList<QUrl>());
        QCOMPARE(rig.notifier.titles, QStringList());
    }

    // After the user's first check, one automatic check a day while they are
    // on; each newer version is told once, by a notification, never a window.
    void automaticChecks_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("autoUpdate");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QList<qint64>>("advance"); // hours, before each look at the schedule
        QTest::addColumn<QList<int>>("checks");     // automatic checks so far, after each
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QStringList>("files");
        const QList<qint64> days{24, 24};
        const QList<int> daily{1, 2};
        const QStringList none;
        // clang-format off
        QTest::newRow("once a day") << true << false << feed("1.1.0") << QList<qint64>{1, 22, 1, 1, 23, 24} << QList<int>{0, 0, 1, 1, 2, 3} << none << none;
        QTest::newRow("a missed day checks once") << true << false << feed("1.1.0") << QList<qint64>{72, 0} << QList<int>{1, 1} << none << none;
        QTest::newRow("clock set back") << true << false << feed("1.1.0") << QList<qint64>{-2, 1} << QList<int>{1, 1} << none << none;
        QTest::newRow("automatic checks off") << false << true << feed("1.2.0") << QList<qint64>{25, 48} << QList<int>{0, 0} << none << none;
        QTest::newRow("newer, told once") << true << false << feed("1.2.0") << days << daily << QStringList{u"quillsnap 1.2.0 is available"_s} << none;
        QTest::newRow("skipped version") << true << false << feed("1.3.0") << days << daily << none << none;
        QTest::newRow("feed broken") << true << true << QByteArray("<rss>") << days << daily << none << none;
        QTest::newRow("downloaded and verified") << true << true << feed("1.2.0") << days << daily << QStringList{u"quillsnap 1.2.0 is ready to install"_s} << QStringList{u"quillsnap_1.2.0_amd64.deb"_s};
        QTest::newRow("bad signature, deleted") << true << true << feed("1.2.0", {}, false) << days << daily << QStringList{u"quillsnap 1.2.0 was not downloaded"_s} << none;
        // clang-format on
    }
    void automaticChecks()
    {
        QFETCH(bool, automatic);
        QFETCH(bool, autoUpdate);
        QFETCH(QByteArray, body);
        QFETCH(QList<qint64>, advance);
        QFETCH(QList<int>, checks);
        QFETCH(QStringList, told);
        m_server.route(u"/appcast.xml"_s, {feed("1.1.0")});
        Rig rig(m_server.url(u"/appcast.xml"_s), m_key.publicKey());
        rig.prefs.setValue(PreferenceKeys::suEnableAutomaticChecks, automatic);
        rig.prefs.setValue(PreferenceKeys::suAutomaticallyUpdate, autoUpdate);
        rig.prefs.setValue(PreferenceKeys::suSkippedVersion, u"1.3.0"_s);
        QVERIFY(!rig.service->updaterController()); // nothing before the user's first check
        rig.service->checkForUpdates();
        QVERIFY(rig.answered() && rig.window()->close());
        m_server.route(u"/appcast.xml"_s, {body});
        UpdaterController* controller = rig.service->updaterController();
        QSignalSpy finished(controller, &UpdaterController::automaticCheckFinished);
        const int before = m_server.hits(u"/appcast.xml"_s);
        for (qsizetype i = 0; i < advance.size(); ++i) {
            rig.clock.advance(advance.at(i) * 60 * 60 * 1000);
            const auto last = rig.prefs.dateValue(PreferenceKeys::suLastCheckTime);
            controller->checkIfDue();
            // A check records its start at once: a wrong one shows here.
            const bool started = rig.prefs.dateValue(PreferenceKeys::suLastCheckTime) != last;
            QCOMPARE(started, checks.at(i) > (i > 0 ? checks.at(i - 1) : 0));
            QTRY_COMPARE(finished.size(), checks.at(i));
            QCOMPARE(m_server.hits(u"/appcast.xml"_s) - before, checks.at(i));
        }
        QTRY_COMPARE(rig.notifier.titles, told);
        QTEST(rig.downloaded(), "files");
        QVERIFY(!rig.shown());
    }
};

QTEST_MAIN(TestSparkleService)
#include "tst_sparkleservice.moc"
