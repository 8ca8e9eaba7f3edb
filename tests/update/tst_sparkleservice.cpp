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
const QString feedPath = u"/appcast.xml"_s;

// One user: preferences naming the loopback feed, a clock standing still, a
// download folder, and the service as main() builds it (version 1.1.0).
struct Rig
{
    QTemporaryDir dir;
    Preferences prefs{dir.filePath(u"quillsnap.conf"_s)};
    ManualClock clock{QDateTime(QDate(2026, 4, 10), QTime(9, 0), Qt::UTC)};
    RecordingNotifier notifier;
    QList<QUrl> opened;
    std::unique_ptr<SparkleService> service;

    Rig(const LoopbackHttpServer& server, const QByteArray& publicKey)
    {
        prefs.setValue(PreferenceKeys::suFeedURL, server.url(feedPath).toString());
        SparkleService::Setup setup{&prefs,
                                    &notifier,
                                    &clock,
                                    {u"1.1.0"_s, u"12"_s},
                                    publicKey,
                                    downloads(),
                                    [this](const QUrl& url) { opened << url; }};
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
    bool shown() const { return window() && window()->isVisible(); }
    // The first check the user asks for, answered and closed.
    bool checkOnceAndClose()
    {
        service->checkForUpdates();
        const bool answered = QTest::qWaitFor(
            [&] { return window() && !window()->titleText().startsWith(u"Checking"_s); }, 20'000);
        return answered && window()->close();
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
    QByteArray notesLink(const char* path)
    {
        return "<sparkle:releaseNotesLink>" + m_server.url(QString::fromLatin1(path)).toEncoded() +
               "</sparkle:releaseNotesLink>";
    }

private slots:
    void initTestCase()
    {
        m_server.route(u"/quillsnap_1.2.0_amd64.deb"_s, {m_package});
        m_server.route(u"/notes.html"_s, {"<h2>What's new</h2><p>Faster capture</p>"});
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
        const QString error = u"Update Error"_s;
        const QStringList ok{u"OK"_s};
        // clang-format off
        QTest::newRow("up to date") << feed("1.1.0") << QString() << u"You're up to date!"_s << u"quillsnap 1.1.0 is up to date."_s << QString() << ok;
        QTest::newRow("notes from their link") << feed("1.2.0", notesLink("/notes.html") + "<description>unused</description>") << QString() << available << offered << u"Faster capture"_s << offer;
        QTest::newRow("notes from the description") << feed("1.2.0", "<description><![CDATA[<p>Inline notes</p>]]></description>") << QString() << available << offered << u"Inline notes"_s << offer;
        QTest::newRow("notes link broken") << feed("1.2.0", notesLink("/gone.html") + "<description>Short</description>") << QString() << available << offered << u"cannot be loaded: the server answered 404 Not Found.\nShort"_s << offer;
        QTest::newRow("feed not found") << QByteArray() << QString() << error << u"cannot be read: the server answered 404 Not Found."_s << QString() << ok;
        QTest::newRow("feed broken") << QByteArray("<rss><channel><item>") << QString() << error << u"not well-formed"_s << QString() << ok;
        QTest::newRow("plain http to a remote host") << QByteArray() << u"http://updates.quillsnap.example/appcast.xml"_s << error << u"not an allowed address"_s << QString() << ok;
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
        m_server.route(feedPath, {body, body.isEmpty() ? 404 : 200});
        Rig rig(m_server, m_key.publicKey());
        if (!feedUrl.isEmpty()) {
            rig.prefs.setValue(PreferenceKeys::suFeedURL, feedUrl);
        }
        rig.service->checkForUpdates();
        QVERIFY(rig.shown());
        QVERIFY(rig.waitForWindow(title));
        QVERIFY2(rig.window()->messageText().contains(message),
                 qPrintable(rig.window()->messageText()));
        QCOMPARE(rig.window()->buttonTexts(), buttons);
        QTRY_VERIFY2(rig.window()->releaseNotesText().contains(notes),
                     qPrintable(rig.window()->releaseNotesText()));
        QCOMPARE(rig.notifier.titles, QStringList());
    }

    void choices_data()
    {
        QTest::addColumn<QStringList>("press");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QStringList>("files");
        const QStringList package{u"quillsnap_1.2.0_amd64.deb"_s};
        // clang-format off
        QTest::newRow("skip") << QStringList{u"Skip This Version"_s} << u"1.2.0"_s << false << QStringList();
        QTest::newRow("remind me later") << QStringList{u"Remind Me Later"_s} << QString() << false << QStringList();
        QTest::newRow("download and open") << QStringList{u"Download"_s, u"Open Package"_s} << QString() << true << package;
        QTest::newRow("download and close") << QStringList{u"Download"_s, u"Close"_s} << QString() << false << package;
        // clang-format on
    }
    void choices()
    {
        QFETCH(QStringList, press);
        QFETCH(QString, skipped);
        QFETCH(bool, opened);
        QFETCH(QStringList, files);
        m_server.route(feedPath, {feed("1.2.0")});
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
        const QUrl package = QUrl::fromLocalFile(QDir(rig.downloads()).filePath(files.value(0)));
        QCOMPARE(rig.opened, opened ? QList<QUrl>{package} : QList<QUrl>());
    }

    // After the user's first check, one check a day while automatic checks are on.
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
        m_server.route(feedPath, {feed("1.1.0")});
        Rig rig(m_server, m_key.publicKey());
        rig.prefs.setValue(PreferenceKeys::suEnableAutomaticChecks, automatic);
        QVERIFY(!rig.service->updaterController()); // nothing before the user's first check
        QVERIFY(rig.checkOnceAndClose());
        UpdaterController* controller = rig.service->updaterController();
        QSignalSpy finished(controller, &UpdaterController::automaticCheckFinished);
        const int before = m_server.hits(feedPath);
        for (qsizetype i = 0; i < advance.size(); ++i) {
            rig.clock.advance(advance.at(i) * hour);
            const auto last = rig.prefs.dateValue(PreferenceKeys::suLastCheckTime);
            controller->checkIfDue();
            // A check records its start at once: a wrong one shows here.
            const bool started = rig.prefs.dateValue(PreferenceKeys::suLastCheckTime) != last;
            QCOMPARE(started, checks.at(i) > (i > 0 ? checks.at(i - 1) : 0));
            QTRY_COMPARE(finished.size(), checks.at(i));
            QCOMPARE(m_server.hits(feedPath) - before, checks.at(i));
        }
        QVERIFY(!rig.shown());
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
        QTest::newRow("newer, told once over two days") << feed("1.2.0") << false << QString() << QStringList{u"quillsnap 1.2.0 is available"_s} << none;
        QTest::newRow("skipped version") << feed("1.2.0") << false << u"1.2.0"_s << none << none;
        QTest::newRow("up to date") << feed("1.1.0") << false << QString() << none << none;
        QTest::newRow("feed broken") << QByteArray("<rss>") << true << QString() << none << none;
        QTest::newRow("downloaded and verified") << feed("1.2.0") << true << QString() << QStringList{u"quillsnap 1.2.0 is ready to install"_s} << QStringList{u"quillsnap_1.2.0_amd64.deb"_s};
        QTest::newRow("bad signature, deleted") << feed("1.2.0", {}, false) << true << QString() << QStringList{u"quillsnap 1.2.0 was not downloaded"_s} << none;
        // clang-format on
    }
    void automaticCheck()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, autoUpdate);
        QFETCH(QString, skipped);
        QFETCH(QStringList, notifications);
        QFETCH(QStringList, files);
        m_server.route(feedPath, {feed("1.1.0")});
        Rig rig(m_server, m_key.publicKey());
        rig.prefs.setValue(PreferenceKeys::suAutomaticallyUpdate, autoUpdate);
        rig.prefs.setValue(PreferenceKeys::suSkippedVersion, skipped);
        QVERIFY(rig.checkOnceAndClose());
        m_server.route(feedPath, {body});
        QSignalSpy finished(rig.service->updaterController(),
                            &UpdaterController::automaticCheckFinished);
        for (int day = 1; day <= 2; ++day) {
            rig.clock.advance(24 * hour);
            rig.service->updaterController()->checkIfDue();
            QTRY_COMPARE(finished.size(), day);
            QTRY_COMPARE(rig.notifier.titles, notifications);
        }
        QCOMPARE(rig.downloaded(), files);
        QVERIFY(!rig.shown());
    }
};

QTEST_MAIN(TestSparkleService)
#include "tst_sparkleservice.moc"
