#include "FileMode.h"
#include "TestEnvironment.h"
#include "common/InstanceChannel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <future>

using namespace Qt::StringLiterals;

class TestInstanceChannel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commandsReachTheServer_data();
    void commandsReachTheServer();
    void requestsAreAnsweredWhenDone_data();
    void requestsAreAnsweredWhenDone();
    void secondInstanceSeesTheFirst();
    void staleSocketIsReplaced();
    void nobodyRunning();
    void socketIsPrivate();

private:
    // Runs the blocking client on another thread while this one serves.
    Expected<void, InstanceClient::Failure> sendAsync(const QString& path, const QString& command);
    std::unique_ptr<TestEnvironment> m_env;
};

void TestInstanceChannel::initTestCase()
{
    m_env = std::make_unique<TestEnvironment>();
}

Expected<void, InstanceClient::Failure> TestInstanceChannel::sendAsync(const QString& path,
                                                                       const QString& command)
{
    auto future =
        std::async(std::launch::async, [=] { return InstanceClient::send(path, command, 3000); });
    while (future.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return future.get();
}

void TestInstanceChannel::commandsReachTheServer_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("capture") << QStringLiteral("capture") << true;
    QTest::newRow("scan") << QStringLiteral("scan") << true;
    QTest::newRow("activate") << QStringLiteral("activate") << true;
    QTest::newRow("capture a region") << QStringLiteral("capture 10,-20,300,40") << true;
    QTest::newRow("scan a region") << QStringLiteral("scan 0,0,1,1") << true;
    QTest::newRow("empty region") << QStringLiteral("capture 10,20,0,40") << false;
    QTest::newRow("region of three") << QStringLiteral("scan 1,2,3") << false;
    QTest::newRow("activate a region") << QStringLiteral("activate 1,2,3,4") << false;
    QTest::newRow("unknown") << QStringLiteral("format-disk") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestInstanceChannel::commandsReachTheServer()
{
    QFETCH(QString, command);
    QFETCH(bool, accepted);
    InstanceServer server;
    const QString path = InstanceServer::defaultSocketPath();
    QCOMPARE(server.listen(path), InstanceServer::ListenResult::listening);
    QSignalSpy received(&server, &InstanceServer::commandReceived);

    const auto result = sendAsync(path, command);
    QCOMPARE(result.hasValue(), accepted);
    if (accepted) {
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), command);
    } else {
        QCOMPARE(result.error().error, InstanceClient::Error::refused);
        QCOMPARE(result.error().detail, QStringLiteral("unknown command"));
        QTest::qWait(20);
        QCOMPARE(received.count(), 0);
    }
}

void TestInstanceChannel::requestsAreAnsweredWhenDone_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<QString>("answer"); // "ok <detail>", "fail <reason>" or "drop"
    QTest::addColumn<QString>("outcome");
    QTest::newRow("sync") << u"sync"_s << 0 << u"ok 3 5"_s << u"3 5"_s;
    QTest::newRow("sync fails") << u"sync"_s << 0 << u"fail two\nlines"_s << u"error two lines"_s;
    QTest::newRow("dropped") << u"sync"_s << 0 << u"drop"_s << u"error the request was dropped"_s;
    QTest::newRow("import 2 MB") << u"import 2000000"_s << 2000000 << u"ok 1 2 0"_s << u"1 2 0"_s;
    QTest::newRow("import nothing") << u"import 0"_s << 0 << u"ok"_s << QString();
    QTest::newRow("negative size")
        << u"import -1"_s << 0 << QString() << u"error bad payload size"_s;
    QTest::newRow("too large") << u"import 9999999999"_s << 0 << QString()
                               << u"error bad payload size"_s;
}

void TestInstanceChannel::requestsAreAnsweredWhenDone()
{
    QFETCH(QString, command);
    QFETCH(int, payloadSize);
    QFETCH(QString, answer);
    QFETCH(QString, outcome);
    InstanceServer server;
    const QString path = InstanceServer::defaultSocketPath();
    QCOMPARE(server.listen(path), InstanceServer::ListenResult::listening);
    QByteArray payload(payloadSize, 'x');
    if (payloadSize > 0) {
        payload[payloadSize / 2] = '\n'; // a payload is not a line
    }
    QByteArray received;
    connect(&server, &InstanceServer::requestReceived, this,
            [&](const QString&, const QByteArray& data, const InstanceReply& reply) {
                received = data;
                // Answered later, once the work is done.
                QTimer::singleShot(50, this, [reply, answer] {
                    if (answer.startsWith(u"ok"_s)) {
                        reply.ok(answer.mid(3));
                    } else if (answer.startsWith(u"fail"_s)) {
                        reply.fail(answer.mid(5));
                    }
                });
            });
    auto future = std::async(std::launch::async,
                             [&] { return InstanceClient::request(path, command, payload, 5000); });
    while (future.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    const auto result = future.get();
    QCOMPARE(result ? result.value() : u"error "_s + result.error().detail, outcome);
    QCOMPARE(received, outcome.startsWith(u"error bad"_s) ? QByteArray() : payload);
}

void TestInstanceChannel::secondInstanceSeesTheFirst()
{
    InstanceServer first;
    const QString path = InstanceServer::defaultSocketPath();
    QCOMPARE(first.listen(path), InstanceServer::ListenResult::listening);
    InstanceServer second;
    QCOMPARE(second.listen(path), InstanceServer::ListenResult::anotherInstanceRuns);
    // The first keeps serving.
    QSignalSpy received(&first, &InstanceServer::commandReceived);
    QVERIFY(sendAsync(path, QStringLiteral("activate")).hasValue());
    QTRY_COMPARE(received.count(), 1);
}

void TestInstanceChannel::staleSocketIsReplaced()
{
    const QString path = InstanceServer::defaultSocketPath();
    {
        // A server that vanished without removing its socket file, as after a crash.
        QLocalServer crashed;
        crashed.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(crashed.listen(path));
    }
    // QLocalServer removes its file on close; recreate a dead socket file.
    QFile::remove(path);
    QFile dead(path);
    QVERIFY(dead.open(QIODevice::WriteOnly));
    dead.close();
    InstanceServer server;
    QCOMPARE(server.listen(path), InstanceServer::ListenResult::listening);
    QVERIFY(sendAsync(path, QStringLiteral("scan")).hasValue());
}

void TestInstanceChannel::nobodyRunning()
{
    QElapsedTimer timer;
    timer.start();
    const auto result = InstanceClient::send(m_env->runtimeDir() + QStringLiteral("/none.sock"),
                                             QStringLiteral("capture"));
    QVERIFY(!result.hasValue());
    QCOMPARE(result.error().error, InstanceClient::Error::notRunning);
    QVERIFY2(timer.elapsed() < 1000, "must fail fast when no instance runs");
}

void TestInstanceChannel::socketIsPrivate()
{
    InstanceServer server;
    const QString path = InstanceServer::defaultSocketPath();
    QCOMPARE(server.listen(path), InstanceServer::ListenResult::listening);
    QVERIFY(path.startsWith(m_env->runtimeDir()));
    QCOMPARE(fileMode(QFileInfo(path).absolutePath()), 0700);
    QCOMPARE(fileMode(path) & 0077, 0);
}

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_instancechannel.moc"
