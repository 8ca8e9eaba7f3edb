#include "CaseTable.h"
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

// Runs a blocking client call on another thread while this one serves.
template <typename Call> auto served(Call call)
{
    auto future = std::async(std::launch::async, call);
    while (future.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return future.get();
}

class TestInstanceChannel : public QObject
{
    Q_OBJECT
private:
    TestEnvironment m_env;
    const QString m_path = InstanceServer::defaultSocketPath();

    auto send(const QString& command)
    {
        return served([=, this] { return InstanceClient::send(m_path, command, 3000); });
    }

private slots:
    void commandsReachTheServer_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("outcome");
        addRows({u"capture→ok", u"scan→ok", u"activate→ok", u"capture 10,-20,300,40→ok",
                 u"scan 0,0,1,1→ok", u"capture 10,20,0,40→unknown command",
                 u"scan 1,2,3→unknown command", u"activate 1,2,3,4→unknown command",
                 u"format-disk→unknown command", u"→unknown command"});
    }

    void commandsReachTheServer()
    {
        QFETCH(QString, command);
        InstanceServer server;
        QCOMPARE(server.listen(m_path), InstanceServer::ListenResult::listening);
        QSignalSpy received(&server, &InstanceServer::commandReceived);
        const auto result = send(command);
        QTEST(result ? u"ok"_s : result.error().detail, "outcome");
        QVERIFY(result || result.error().error == InstanceClient::Error::refused);
        QTest::qWait(20);
        QCOMPARE(received.count(), result ? 1 : 0);
        QVERIFY(!result || received.at(0).at(0).toString() == command);
    }

    // Columns: command, payload size, the answer ("ok <detail>", "fail
    // <reason>", "drop" or none), outcome.
    void requestsAreAnsweredWhenDone_data()
    {
        rows({u"sync→0→ok 3 5→3 5", u"sync→0→fail two\nlines→error two lines",
              u"sync→0→drop→error the request was dropped",
              u"import 2000000→2000000→ok 1 2 0→1 2 0", u"import 0→0→ok→",
              u"import -1→0→→error bad payload size",
              u"import 9999999999→0→→error bad payload size"});
    }

    void requestsAreAnsweredWhenDone()
    {
        const QStringList f = fields();
        InstanceServer server;
        QCOMPARE(server.listen(m_path), InstanceServer::ListenResult::listening);
        QByteArray payload(f[1].toInt(), 'x');
        if (!payload.isEmpty()) {
            payload[payload.size() / 2] = '\n'; // a payload is not a line
        }
        QByteArray received;
        const QString answer = f[2];
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
        const auto result =
            served([&] { return InstanceClient::request(m_path, f[0], payload, 5000); });
        QCOMPARE(result ? result.value() : u"error "_s + result.error().detail, f[3]);
        QCOMPARE(received, f[3].startsWith(u"error bad"_s) ? QByteArray() : payload);
    }

    void secondInstanceSeesTheFirst()
    {
        InstanceServer first;
        QCOMPARE(first.listen(m_path), InstanceServer::ListenResult::listening);
        InstanceServer second;
        QCOMPARE(second.listen(m_path), InstanceServer::ListenResult::anotherInstanceRuns);
        // The first keeps serving, on a socket only its user may reach.
        QSignalSpy received(&first, &InstanceServer::commandReceived);
        QVERIFY(send(u"activate"_s));
        QTRY_COMPARE(received.count(), 1);
        QVERIFY(m_path.startsWith(m_env.runtimeDir()));
        QCOMPARE(fileMode(QFileInfo(m_path).absolutePath()), 0700);
        QCOMPARE(fileMode(m_path) & 0077, 0);
    }

    void staleSocketIsReplaced()
    {
        {
            // A server that vanished without removing its socket file, as after a crash.
            QLocalServer crashed;
            crashed.setSocketOptions(QLocalServer::UserAccessOption);
            QVERIFY(crashed.listen(m_path));
        }
        // QLocalServer removes its file on close; recreate a dead socket file.
        QFile::remove(m_path);
        QFile dead(m_path);
        QVERIFY(dead.open(QIODevice::WriteOnly));
        dead.close();
        InstanceServer server;
        QCOMPARE(server.listen(m_path), InstanceServer::ListenResult::listening);
        QVERIFY(send(u"scan"_s));
    }

    void nobodyRunning()
    {
        QElapsedTimer timer;
        timer.start();
        const auto result =
            InstanceClient::send(m_env.runtimeDir() + u"/none.sock"_s, u"capture"_s);
        QCOMPARE(result ? -1 : int(result.error().error), int(InstanceClient::Error::notRunning));
        QVERIFY2(timer.elapsed() < 1000, "must fail fast when no instance runs");
    }
};

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_instancechannel.moc"
