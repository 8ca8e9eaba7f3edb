#include "platform/SecretServiceStore.h"
#include "platform/SecretStoreFactory.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <array>
#include <csignal>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Status = SecretStore::Status;

namespace {

const char* statusName(Status s)
{
    return std::array{"Ok", "NotFound", "Unavailable"}.at(size_t(s));
}

// Runs an operation and writes a line: its name, its result, milliseconds.
template <typename Call> void timed(QTextStream& out, const char* name, Call call)
{
    QElapsedTimer timer;
    timer.start();
    const Status status = call();
    out << name << ' ' << statusName(status) << ' ' << timer.elapsed() << '\n';
}

// Child mode "calls LIMIT_MS": every operation against whatever bus the
// environment names, one line per operation: name, result, milliseconds.
int runCalls(std::chrono::milliseconds limit)
{
    QTextStream out(stdout);
    const QString service = QStringLiteral("com.quillsnap.test.child");
    const QString account = QStringLiteral("account");
    SecretServiceStore store(limit);
    timed(out, "read", [&] { return store.read(service, account).status; });
    timed(out, "write", [&] { return store.write(service, account, "secret"); });
    timed(out, "remove", [&] { return store.remove(service, account); });

    SecretStoreFactory::Options options;
    options.callLimit = limit;
    QElapsedTimer timer;
    timer.start();
    const auto chosen = SecretStoreFactory::create(options);
    out << "factory " << timer.elapsed() << ' ' << chosen->displayName() << '\n';
    out << "factory-write " << statusName(chosen->write(service, account, "x")) << " 0\n";
    return 0;
}

// Child mode "locked LIMIT_MS": against a keyring of its own, stores an
// item, locks the collection (no prompter can unlock it again) and tries
// every operation.
int runLockedCalls(std::chrono::milliseconds limit)
{
    QTextStream out(stdout);
    const QString service = QStringLiteral("com.quillsnap.test.locked");
    const QString account = QStringLiteral("account");
    QElapsedTimer timer;
    timer.start();
    SecretServiceStore store(limit);
    // The keyring daemon registers on the bus a moment after it starts.
    while (store.read(service, QStringLiteral("probe")).status != Status::NotFound) {
        if (timer.elapsed() > 10000) {
            return 1;
        }
        QThread::msleep(50);
    }
    out << "write-unlocked " << statusName(store.write(service, account, "secret")) << " 0\n";

    QDBusInterface secrets(QStringLiteral("org.freedesktop.secrets"),
                           QStringLiteral("/org/freedesktop/secrets"),
                           QStringLiteral("org.freedesktop.Secret.Service"));
    const QDBusReply<QDBusObjectPath> collection =
        secrets.call(QStringLiteral("ReadAlias"), QStringLiteral("default"));
    const QDBusMessage locked = secrets.call(
        QStringLiteral("Lock"), QVariant::fromValue(QList<QDBusObjectPath>{collection.value()}));
    out << "lock " << (locked.type() == QDBusMessage::ReplyMessage ? "Ok" : "Failed") << " 0\n";

    timed(out, "read", [&] { return store.read(service, account).status; });
    // Clearing skips locked items: the item is still there.
    timed(out, "remove", [&] { return store.remove(service, account); });
    timed(out, "write", [&] { return store.write(service, account, "other"); });
    return 0;
}

// Child mode "own-secrets": takes the Secret Service name on the bus and
// serves nothing; the test stops the process so that no call is answered.
int ownSecretsName(QCoreApplication& app)
{
    if (!QDBusConnection::sessionBus().registerService(QStringLiteral("org.freedesktop.secrets"))) {
        return 1;
    }
    QTextStream(stdout) << "ready" << Qt::endl;
    return app.exec();
}

// A dbus-daemon of our own with nothing activatable on it.
class PrivateBus
{
public:
    bool start()
    {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        // Nothing but a socket and a permissive policy: no activatable services.
        const QString xml = QStringLiteral("<busconfig><type>session</type>"
                                           "<listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                           "<policy context='default'>"
                                           "<allow send_destination='*' eavesdrop='true'/>"
                                           "<allow eavesdrop='true'/><allow own='*'/>"
                                           "</policy></busconfig>")
                                .arg(m_dir.path());
        file.write(xml.toUtf8());
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000)) {
            return false;
        }
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !m_address.isEmpty();
    }
    ~PrivateBus()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

struct ChildResult
{
    QString result;
    qint64 ms = -1;
};

// Runs this binary in "calls" mode on the given bus address.
QMap<QString, ChildResult> runChild(const QString& busAddress, std::chrono::milliseconds limit,
                                    const QString& mode = QStringLiteral("calls"))
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    env.remove(QStringLiteral("DISPLAY")); // no X11 autolaunch of another bus
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), mode, QString::number(limit.count())});
    child.waitForFinished(60000);
    QMap<QString, ChildResult> results;
    const auto lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() < 3) {
            continue;
        }
        if (parts[0] == QLatin1StringView("factory")) {
            results[parts[0]] = {parts.mid(2).join(QLatin1Char(' ')), parts[1].toLongLong()};
        } else {
            results[parts[0]] = {parts[1], parts[2].toLongLong()};
        }
        qInfo("%s", qPrintable(line));
    }
    return results;
}

QByteArray secretTool(const QStringList& args, const QByteArray& input = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("secret-tool"), args);
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished(10000);
    return tool.readAll();
}

} // namespace

#define REQUIRE_SECRET_SERVICE()                                                                   \
    if (!m_haveService)                                                                            \
    QSKIP("no Secret Service on the session bus (run under scripts/test.sh)")

class TestSecretServiceStore : public QObject
{
    Q_OBJECT

private:
    TestEnvironment m_env;
    QString m_service =
        QStringLiteral("com.quillsnap.test.%1").arg(QCoreApplication::applicationPid());
    SecretServiceStore m_store;
    bool m_haveService = false;

    int itemCount(const QString& account)
    {
        const QByteArray out =
            secretTool({QStringLiteral("search"), QStringLiteral("--all"),
                        QStringLiteral("service"), m_service, QStringLiteral("account"), account});
        return int(out.count("\n[/") + (out.startsWith("[/") ? 1 : 0));
    }

private slots:
    void initTestCase()
    {
        m_haveService = m_store.read(m_service, QStringLiteral("probe")).status == Status::NotFound;
    }

    void cleanupTestCase()
    {
        if (m_haveService) {
            secretTool({QStringLiteral("clear"), QStringLiteral("service"), m_service});
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::newRow("text") << QByteArrayLiteral("sk-proj-abc123");
        QTest::newRow("NUL and invalid UTF-8") << QByteArray("\x00\xff\xfe\x00k\x80", 6);
        QByteArray random(32, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(random.data()), 8);
        QTest::newRow("32 random bytes") << random;
    }

    void roundTrip()
    {
        REQUIRE_SECRET_SERVICE();
        QFETCH(QByteArray, secret);
        const QString account = QStringLiteral("round-trip");
        QCOMPARE(m_store.write(m_service, account, secret), Status::Ok);
        const auto lookup = m_store.read(m_service, account);
        QCOMPARE(lookup.status, Status::Ok);
        QCOMPARE(lookup.secret, secret);
        QCOMPARE(itemCount(account), 1);
        // Other tools see the item under a label that says whose it is.
        const QStringList item{u"service"_s, m_service, u"account"_s, account};
        QCOMPARE(secretTool(QStringList{u"lookup"_s} + item), secret);
        const QByteArray listing = secretTool(QStringList{u"search"_s, u"--all"_s} + item);
        QVERIFY2(listing.contains("label = quillsnap: round-trip"), listing.constData());
    }

    void itemsOfOtherToolsAreFoundAndReplaced()
    {
        REQUIRE_SECRET_SERVICE();
        const QString account = QStringLiteral("foreign");
        // secret-tool stores under another schema name.
        secretTool({QStringLiteral("store"), QStringLiteral("--label=by hand"),
                    QStringLiteral("service"), m_service, QStringLiteral("account"), account},
                   QByteArrayLiteral("typed-by-hand"));
        QCOMPARE(itemCount(account), 1);
        const auto lookup = m_store.read(m_service, account);
        QCOMPARE(lookup.status, Status::Ok);
        QCOMPARE(lookup.secret, QByteArrayLiteral("typed-by-hand"));

        QCOMPARE(m_store.write(m_service, account, QByteArrayLiteral("ours")), Status::Ok);
        QCOMPARE(m_store.write(m_service, account, QByteArray("\x01\x00ours", 7)), Status::Ok);
        QCOMPARE(itemCount(account), 1);
        QCOMPARE(m_store.read(m_service, account).secret, QByteArray("\x01\x00ours", 7));

        secretTool({QStringLiteral("store"), QStringLiteral("--label=again"),
                    QStringLiteral("service"), m_service, QStringLiteral("account"), account},
                   QByteArrayLiteral("again"));
        QVERIFY(itemCount(account) >= 1);
        QCOMPARE(m_store.remove(m_service, account), Status::Ok);
        QCOMPARE(itemCount(account), 0);
        QCOMPARE(m_store.read(m_service, account).status, Status::NotFound);
        QCOMPARE(m_store.remove(m_service, account), Status::Ok);
    }

    void otherAccountsUntouched()
    {
        REQUIRE_SECRET_SERVICE();
        const QString a = QStringLiteral("neighbour-a");
        const QString b = QStringLiteral("neighbour-b");
        const QString otherService = m_service + QStringLiteral(".other");
        QCOMPARE(m_store.write(m_service, a, QByteArrayLiteral("a")), Status::Ok);
        QCOMPARE(m_store.write(otherService, b, QByteArrayLiteral("other service")), Status::Ok);
        QCOMPARE(m_store.write(m_service, b, QByteArrayLiteral("b1")), Status::Ok);
        QCOMPARE(m_store.write(m_service, b, QByteArrayLiteral("b2")), Status::Ok);
        // An empty account is an account of its own, not a wildcard.
        QCOMPARE(m_store.remove(m_service, QString()), Status::Ok);
        QCOMPARE(m_store.read(m_service, a).secret, QByteArrayLiteral("a"));
        QCOMPARE(m_store.read(otherService, b).secret, QByteArrayLiteral("other service"));
        QCOMPARE(m_store.remove(m_service, b), Status::Ok);
        QCOMPARE(m_store.read(m_service, a).secret, QByteArrayLiteral("a"));
        QCOMPARE(m_store.read(otherService, b).secret, QByteArrayLiteral("other service"));
        secretTool({QStringLiteral("clear"), QStringLiteral("service"), otherService});
    }

    void absentServiceFailsFast_data()
    {
        QTest::addColumn<bool>("withBus");
        QTest::newRow("bus without Secret Service") << true;
        QTest::newRow("no bus at all") << false;
    }

    void absentServiceFailsFast()
    {
        QFETCH(bool, withBus);
        PrivateBus bus;
        QString address = m_env.root() + QStringLiteral("/no-such-socket");
        if (withBus) {
            QVERIFY(bus.start());
            address = bus.address();
        } else {
            address = QStringLiteral("unix:path=") + address;
        }
        // A generous limit: failing fast must not depend on it.
        const auto results = runChild(address, 5s);
        for (const char* op : {"read", "write", "remove"}) {
            const ChildResult r = results.value(QLatin1StringView(op));
            QCOMPARE(r.result, QStringLiteral("Unavailable"));
            QVERIFY2(r.ms >= 0 && r.ms < 1000, op);
        }
        const ChildResult factory = results.value(QStringLiteral("factory"));
        QVERIFY2(factory.result.startsWith(QStringLiteral("a private file (")),
                 qPrintable(factory.result));
        QVERIFY(factory.ms < 1000);
        QCOMPARE(results.value(QStringLiteral("factory-write")).result, QStringLiteral("Ok"));
    }

    void hungServiceTimesOut()
    {
        PrivateBus bus;
        QVERIFY(bus.start());
        QProcess owner;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        owner.setProcessEnvironment(env);
        owner.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), QStringLiteral("own-secrets")});
        QVERIFY(owner.waitForReadyRead(10000));
        QCOMPARE(owner.readLine().trimmed(), QByteArrayLiteral("ready"));
        // A provider that hangs: it owns the name, the bus queues the calls,
        // and nobody ever answers.
        ::kill(pid_t(owner.processId()), SIGSTOP);

        constexpr auto limit = 700ms;
        const auto results = runChild(bus.address(), limit);
        owner.kill();
        owner.waitForFinished(3000);

        // Slow is not absent: the Secret Service stays in use, and choosing it
        // does not wait for it.
        QVERIFY(results.value(QStringLiteral("factory")).ms < 1000);
        QCOMPARE(results.value(QStringLiteral("factory")).result,
                 QStringLiteral("your desktop keyring (Secret Service)"));
        for (const char* op : {"read", "write", "remove"}) {
            const ChildResult r = results.value(QLatin1StringView(op));
            QCOMPARE(r.result, QStringLiteral("Unavailable"));
            QVERIFY2(r.ms >= limit.count() - 50 && r.ms < limit.count() + 1000, op);
        }
        QCOMPARE(results.value(QStringLiteral("factory-write")).result,
                 QStringLiteral("Unavailable"));
    }

    void lockedItemIsUnavailable()
    {
        // libsecret answers a lookup of a locked item whose unlock prompt fails
        // with "no value" and no error, as if there were no item at all.
        PrivateBus bus;
        QVERIFY(bus.start());
        QTemporaryDir keyringHome;
        for (const char* sub : {"home", "data", "runtime"}) {
            QVERIFY(QDir(keyringHome.path()).mkpath(QLatin1StringView(sub)));
        }
        QFile::setPermissions(keyringHome.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("HOME"), keyringHome.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), keyringHome.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                   keyringHome.filePath(QStringLiteral("runtime")));
        env.remove(QStringLiteral("DISPLAY"));
        QProcess keyring;
        keyring.setProcessEnvironment(env);
        keyring.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        keyring.start(QStringLiteral("gnome-keyring-daemon"),
                      {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                       QStringLiteral("--components=secrets")});
        if (!keyring.waitForStarted(5000)) {
            QSKIP("gnome-keyring-daemon is not installed");
        }
        // The password unlocks (creates) its login keyring. No event loop runs
        // here, so push the bytes out before closing.
        keyring.write("locked-test");
        keyring.waitForBytesWritten(5000);
        keyring.closeWriteChannel();

        constexpr auto limit = 2000ms;
        const auto results = runChild(bus.address(), limit, QStringLiteral("locked"));
        keyring.kill();
        keyring.waitForFinished(3000);

        QCOMPARE(results.value(QStringLiteral("write-unlocked")).result, QStringLiteral("Ok"));
        QCOMPARE(results.value(QStringLiteral("lock")).result, QStringLiteral("Ok"));
        QCOMPARE(results.value(QStringLiteral("read")).result, QStringLiteral("Unavailable"));
        // Clearing skips locked items: the item is still there.
        QCOMPARE(results.value(QStringLiteral("remove")).result, QStringLiteral("Unavailable"));
        QCOMPARE(results.value(QStringLiteral("write")).result, QStringLiteral("Unavailable"));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        if (qstrcmp(argv[2], "calls") == 0 && argc >= 4) {
            return runCalls(std::chrono::milliseconds(QByteArray(argv[3]).toInt()));
        }
        if (qstrcmp(argv[2], "locked") == 0 && argc >= 4) {
            return runLockedCalls(std::chrono::milliseconds(QByteArray(argv[3]).toInt()));
        }
        if (qstrcmp(argv[2], "own-secrets") == 0) {
            return ownSecretsName(app);
        }
        return 2;
    }
    QCoreApplication app(argc, argv);
    TestSecretServiceStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_secretservicestore.moc"
