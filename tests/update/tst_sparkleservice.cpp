#include "update/SparkleService.h"

#include "common/Clock.h"
#include "feedback/Notifier.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "update/UpdateWindow.h"
#include "update/UpdaterController.h"

#include "LoopbackHttpServer.h"
#include "TestSigningKey.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class RecordingNotifier : public Notifier
{
public:
    QStringList titles;
    void post(const QString& title, const QString&) override { titles << title; }
};

constexpr qint64 hour = 60 * 60 * 1000;

// One user's set-up: preferences naming the loopback feed, a clock standing
// still, a download folder, and the service as main() builds it.
struct Rig
{
    LoopbackHttpServer& server;
    QTemporaryDir dir;
    Preferences prefs{dir.filePath(u"quillsnap.conf"_s)};
    ManualClock clock{QDateTime(QDate(2026, 4, 10), QTime(9, 0), Qt::UTC)};
    RecordingNotifier notifier;
    QList<QUrl> opened;
    std::unique_ptr<SparkleService> service;

    Rig(LoopbackHttpServer& s, const QByteArray& publicKey) : server(s)
    {
        prefs.setValue(PreferenceKeys::suFeedURL, server.url(u"/appcast.xml"_s).toString());
        SparkleService::Setup setup;
        setup.preferences = &prefs;
        setup.notifier = &notifier;
        setup.clock = &clock;
        setup.versions = {u"1.1.0"_s, u"12"_s};
        setup.publicKey = publicKey;
        setup.downloadFolder = downloads();
        setup.open = [this](const QUrl& url) { opened << url; };
        service = std::make_unique<SparkleService>(setup);
    }
    QString downloads() const { return dir.filePath(u"Downloads"_s); }
    QStringList downloaded() const
    {
        return QDir(downloads()).entryList(QDir::Files | QDir::Hidden);
    }
    UpdateWindow* window() const { return service->window(); }
    bool waitForWindow(const QString& titleStart) const
    {
        return QTest::qWaitFor(
            [&] { return window() && window()->titleText().startsWith(titleStart); }, 20'000);
    }
    // The first check the user asks for, answered and closed.
    bool checkOnceAndClose()
    {
        service->checkForUpdates();
        const auto answered = [&] {
            return window() && !window()->titleText().startsWith(u"Checking"_s);
        };
        if (!QTest::qWaitFor(answered, 20'000)) {
            return false;
        }
        window()->close();
        return true;
    }
};

} // namespace

class TestSparkleService : public QObject
{
    Q_OBJECT

    TestSigningKey m_key;
    LoopbackHttpServer m_server;
    const QByteArray m_package = QByteArray(50'000, 'q');

    QByteArray feed(const QString& version, const QByteArray& extra = {}, bool goodSignature = true)
    {
        const QByteArray signature = m_key.sign(goodSignature ? m_package : "other");
        return "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
               "sparkle\"><channel><title>quillsnap</title><item><title>Version</title>"
               "<sparkle:version>" +
               version.toUtf8() + "</sparkle:version>" + extra + "<enclosure url=\"" +
               m_server.url(u"/quillsnap_1.2.0_amd64.deb"_s).toEncoded() +
               "\" length=\"50000\" type=\"application/vnd.debian.binary-package\" "
               "sparkle:edSignature=\"" +
               signature + "\"/></item></channel></rss>";
    }

private slots:
    void initTestCase()
    {
        m_server.route(u"/quillsnap_1.2.0_amd64.deb"_s, {m_package});
        m_server.route(u"/notes.html"_s, {"<h2>What's new</h2><p>Faster capture</p>", "text/html"});
    }

    void userCheck_data()
    {
        QTest::addColumn<QByteArray>("body"); // the feed; empty: not on the server
        QTest::addColumn<QString>("feedUrl"); // instead of the loopback feed
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message"); // part of it
        QTest::addColumn<QString>("notes");   // part of them
        QTest::addColumn<QStringList>("buttons");

        const QStringList offer{u"Skip This Version"_s, u"Remind Me Later"_s, u"Download"_s};
        const QString available = u"A new version of quillsnap is available!"_s;
        const QString offered = u"quillsnap 1.2.0 is now available—you have 1.1.0."_s;
        const QString ok = u"OK"_s;
        // clang-format off
        QTest::newRow("up to date") << feed(u"1.1.0"_s) << QString() << u"You're up to date!"_s << u"quillsnap 1.1.0 is up to date."_s << QString() << QStringList{ok};
        QTest::newRow("notes from their link") << feed(u"1.2.0"_s, "<sparkle:releaseNotesLink>" + m_server.url(u"/notes.html"_s).toEncoded() + "</sparkle:releaseNotesLink><description>unused</description>") << QString() << available << offered << u"Faster capture"_s << offer;
        QTest::newRow("notes from the description") << feed(u"1.2.0"_s, "<description><![CDATA[<p>Inline notes</p>]]></description>") << QString() << available << offered << u"Inline notes"_s << offer;
        QTest::newRow("notes link broken") << feed(u"1.2.0"_s, "<sparkle:releaseNotesLink>" + m_server.url(u"/gone.html"_s).toEncoded() + "</sparkle:releaseNotesLink><description>Short notes</description>") << QString() << available << offered << u"cannot be loaded"_s << offer;
        QTest::newRow("feed not found") << QByteArray() << QString() << u"Update Error"_s << u"cannot be read"_s << QString() << QStringList{ok};
        QTest::newRow("feed broken") << QByteArray("<rss><channel><item>") << QString() << u"Update Error"_s << u"not well-formed"_s << QString() << QStringList{ok};
        QTest::newRow("plain http to a remote host") << QByteArray() << u"http://updates.quillsnap.example/appcast.xml"_s << u"Update Error"_s << u"not an allowed address"_s << QString() << QStringList{ok};
        // clang-format on
    }
    void userCheck()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, feedUrl);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, notes);
        QFETCH(QStringList, buttons);
        m_server.route(u"/appcast.xml"_s,
                       body.isEmpty() ? LoopbackHttpServer::Response{"", "text/plain", 404}
                                      : LoopbackHttpServer::Response{body, "application/rss+xml"});
        Rig rig(m_server, m_key.publicKey());
        if (!feedUrl.isEmpty()) {
            rig.prefs.setValue(PreferenceKeys::suFeedURL, feedUrl);
        }
        rig.service->checkForUpdates();
        QVERIFY(rig.window() && rig.window()->isVisible());
        QVERIFY(rig.waitForWindow(title));
        QVERIFY2(rig.window()->messageText().contains(message),
                 qPrintable(rig.window()->messageText()));
        QCOMPARE(rig.window()->buttonTexts(), buttons);
        if (!notes.isEmpty()) {
            QTRY_VERIFY2(rig.window()->releaseNotesText().contains(notes),
                         qPrintable(rig.window()->releaseNotesText()));
        }
        QCOMPARE(rig.notifier.titles, QStringList());
    }

    void createdByTheFirstCheckOnly()
    {
        m_server.route(u"/appcast.xml"_s, {feed(u"1.1.0"_s)});
        Rig rig(m_server, m_key.publicKey());
        QVERIFY(!rig.service->updaterController());
        const int before = m_server.hits(u"/appcast.xml"_s);
        rig.service->checkForUpdates();
        UpdaterController* controller = rig.service->updaterController();
        QVERIFY(controller);
        QVERIFY(rig.waitForWindow(u"You're"_s));
        rig.service->checkForUpdates();
        QCOMPARE(rig.service->updaterController(), controller);
        QTRY_COMPARE(m_server.hits(u"/appcast.xml"_s) - before, 2);
    }

    void choices_data()
    {
        QTest::addColumn<QStringList>("press");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QStringList>("files");
        const QString package = u"quillsnap_1.2.0_amd64.deb"_s;
        // clang-format off
        QTest::newRow("skip") << QStringList{u"Skip This Version"_s} << u"1.2.0"_s << false << QStringList();
        QTest::newRow("remind me later") << QStringList{u"Remind Me Later"_s} << QString() << false << QStringList();
        QTest::newRow("download and open") << QStringList{u"Download"_s, u"Open Package"_s} << QString() << true << QStringList{package};
        QTest::newRow("download and close") << QStringList{u"Download"_s, u"Close"_s} << QString() << false << QStringList{package};
        // clang-format on
    }
    void choices()
    {
        QFETCH(QStringList, press);
        QFETCH(QString, skipped);
        QFETCH(bool, opened);
        QFETCH(QStringList, files);
        m_server.route(u"/appcast.xml"_s, {feed(u"1.2.0"_s)});
        Rig rig(m_server, m_key.publicKey());
        rig.service->checkForUpdates();
        QVERIFY(rig.waitForWindow(u"A new version"_s));
        for (const QString& button : press) {
            QTRY_VERIFY(rig.window() && rig.window()->buttonTexts().contains(button));
            QVERIFY(rig.window()->press(button));
        }
        QTRY_VERIFY(!rig.window());
        QCOMPARE(rig.prefs.stringValue(PreferenceKeys::suSkippedVersion).value_or(QString()),
                 skipped);
        QCOMPARE(rig.downloaded(), files);
        const QList<QUrl> expected{
            QUrl::fromLocalFile(QDir(rig.downloads()).filePath(files.value(0)))};
        QCOMPARE(rig.opened, opened ? expected : QList<QUrl>());
    }

    // After the first check, one check a day while automatic checks are on.
    void dailySchedule_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QList<qint64>>("advance"); // hours, before each look at the schedule
        QTest::addColumn<QList<int>>("checks");     // automatic checks so far, after each
        // clang-format off
        QTest::newRow("once a day") << true << QList<qint64>{1, 22, 1, 1, 23, 24} << QList<int>{0, 0, 1, 1, 2, 3};
        QTest::newRow("a missed day checks once") << true << QList<qint64>{72, 0} << QList<int>{1, 1};
        QTest::newRow("clock set back") << true << QList<qint64>{-2, 1} << QList<int>{1, 1};
        QTest::newRow("automatic checks off") << false << QList<qint64>{25, 48} << QList<int>{0, 0};
        // clang-format on
    }
    void dailySchedule()
    {
        QFETCH(bool, automatic);
        QFETCH(QList<qint64>, advance);
        QFETCH(QList<int>, checks);
        m_server.route(u"/appcast.xml"_s, {feed(u"1.1.0"_s)});
        Rig rig(m_server, m_key.publicKey());
        rig.prefs.setValue(PreferenceKeys::suEnableAutomaticChecks, automatic);
        rig.service->updaterController(); // nothing before the user's first check
        QVERIFY(rig.checkOnceAndClose());
        UpdaterController* controller = rig.service->updaterController();
        QSignalSpy finished(controller, &UpdaterController::automaticCheckFinished);
        const int before = m_server.hits(u"/appcast.xml"_s);
        for (qsizetype i = 0; i < advance.size(); ++i) {
            rig.clock.advance(advance.at(i) * hour);
            const auto last = rig.prefs.dateValue(PreferenceKeys::suLastCheckTime);
            controller->checkIfDue();
            // A check records its start at once: a wrong one shows here.
            const bool started = rig.prefs.dateValue(PreferenceKeys::suLastCheckTime) != last;
            QCOMPARE(started, checks.at(i) > (i > 0 ? checks.at(i - 1) : 0));
            QTRY_COMPARE(finished.size(), checks.at(i));
            QCOMPARE(m_server.hits(u"/appcast.xml"_s) - before, checks.at(i));
        }
        QVERIFY(!rig.window() || !rig.window()->isVisible()); // never a window
    }

    // Automatic checks speak through one notification, never a window.
    void automaticCheck_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("autoUpdate");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QStringList>("notifications");
        QTest::addColumn<QStringList>("files");
        const QStringList none;
        // clang-format off
        QTest::newRow("newer, told once over two days") << feed(u"1.2.0"_s) << false << QString() << QStringList{u"quillsnap 1.2.0 is available"_s} << none;
        QTest::newRow("skipped version") << feed(u"1.2.0"_s) << false << u"1.2.0"_s << none << none;
        QTest::newRow("up to date") << feed(u"1.1.0"_s) << false << QString() << none << none;
        QTest::newRow("feed broken") << QByteArray("<rss>") << true << QString() << none << none;
        QTest::newRow("downloaded and verified") << feed(u"1.2.0"_s) << true << QString() << QStringList{u"quillsnap 1.2.0 is ready to install"_s} << QStringList{u"quillsnap_1.2.0_amd64.deb"_s};
        QTest::newRow("bad signature, deleted") << feed(u"1.2.0"_s, {}, false) << true << QString() << QStringList{u"quillsnap 1.2.0 was not downloaded"_s} << none;
        // clang-format on
    }
    void automaticCheck()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, autoUpdate);
        QFETCH(QString, skipped);
        QFETCH(QStringList, notifications);
        QFETCH(QStringList, files);
        m_server.route(u"/appcast.xml"_s, {feed(u"1.1.0"_s)});
        Rig rig(m_server, m_key.publicKey());
        rig.prefs.setValue(PreferenceKeys::suAutomaticallyUpdate, autoUpdate);
        if (!skipped.isEmpty()) {
            rig.prefs.setValue(PreferenceKeys::suSkippedVersion, skipped);
        }
        QVERIFY(rig.checkOnceAndClose());
        m_server.route(u"/appcast.xml"_s, {body});
        QSignalSpy finished(rig.service->updaterController(),
                            &UpdaterController::automaticCheckFinished);
        for (int day = 1; day <= 2; ++day) {
            rig.clock.advance(24 * hour);
            rig.service->updaterController()->checkIfDue();
            QTRY_COMPARE(finished.size(), day);
            QTRY_COMPARE(rig.notifier.titles, notifications);
        }
        QCOMPARE(rig.downloaded(), files);
        QVERIFY(!rig.window() || !rig.window()->isVisible()); // never a window
    }
};

QTEST_MAIN(TestSparkleService)
#include "tst_sparkleservice.moc"
