#include "platform/SecretServiceStore.h"
#include "platform/SecretStoreFactory.h"

#include "CaseTable.h"
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
    const QString service = u"com.quillsnap.test.child"_s;
    const QString account = u"account"_s;
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
    const QString service = u"com.quillsnap.test.locked"_s;
    const QString account = u"account"_s;
    QElapsedTimer timer;
    timer.start();
    SecretServiceStore store(limit);
    // The keyring daemon registers on the bus a moment after it starts.
    while (store.read(service, u"probe"_s).status != Status::NotFound) {
        if (timer.elapsed() > 10000) {
            return 1;
        }
        QThread::msleep(50);
    }
    out << "write-unlocked " << statusName(store.write(service, account, "secret")) << " 0\n";

    QDBusInterface secrets(u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets"_s,
                           u"org.freedesktop.Secret.Service"_s);
    const QDBusReply<QDBusObjectPath> collection = secrets.call(u"ReadAlias"_s, u"default"_s);
    const QDBusMessage locked =
        secrets.call(u"Lock"_s, QVariant::fromValue(QList<QDBusObjectPath>{collection.value()}));
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
    if (!QDBusConnection::sessionBus().registerService(u"org.freedesktop.secrets"_s)) {
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
        const QString config = m_dir.filePath(u"bus.conf"_s);
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
        m_daemon.start(u"dbus-daemon"_s,
                       {u"--config-file="_s + config, u"--nofork"_s, u"--print-address=1"_s});
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
                                    const QString& mode = u"calls"_s)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, busAddress);
    env.remove(u"DISPLAY"_s); // no X11 autolaunch of another bus
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {u"--child"_s, mode, QString::number(limit.count())});
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
    tool.start(u"secret-tool"_s, args);
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
    QString m_service = u"com.quillsnap.test.%1"_s.arg(QCoreApplication::applicationPid());
    SecretServiceStore m_store;
    bool m_haveService = false;

    int itemCount(const QString& account)
    {
        const QByteArray out =
            secretTool({u"search"_s, u"--all"_s, u"service"_s, m_service, u"account"_s, account});
        return int(out.count("\n[/") + (out.startsWith("[/") ? 1 : 0));
    }

private slots:
    void initTestCase()
    {
        m_haveService = m_store.read(m_service, u"probe"_s).status == Status::NotFound;
    }

    void cleanupTestCase()
    {
        if (m_haveService) {
            secretTool({u"clear"_s, u"service"_s, m_service});
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
        const QString account = u"round-trip"_s;
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
        const QString account = u"foreign"_s;
        // secret-tool stores under another schema name.
        secretTool(
            {u"store"_s, u"--label=by hand"_s, u"service"_s, m_service, u"account"_s, account},
            QByteArrayLiteral("typed-by-hand"));
        QCOMPARE(itemCount(account), 1);
        const auto lookup = m_store.read(m_service, account);
        QCOMPARE(lookup.status, Status::Ok);
        QCOMPARE(lookup.secret, QByteArrayLiteral("typed-by-hand"));

        QCOMPARE(m_store.write(m_service, account, QByteArrayLiteral("ours")), Status::Ok);
        QCOMPARE(m_store.write(m_service, account, QByteArray("\x01\x00ours", 7)), Status::Ok);
        QCOMPARE(itemCount(account), 1);
        QCOMPARE(m_store.read(m_service, account).secret, QByteArray("\x01\x00ours", 7));

        secretTool({u"store"_s, u"--label=again"_s, u"service"_s, m_service, u"account"_s, account},
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
        const QString a = u"neighbour-a"_s, b = u"neighbour-b"_s;
        const QString otherService = m_service + u".other"_s;
        QCOMPARE(m_store.write(m_service, a, QByteArrayLiteral("a")), Status::Ok);
        QCOMPARE(m_store.write(otherService, b, QByteArrayLiteral("other service")), Status::Ok);
        QCOMPARE(m_store.write(m_service, b, QByteArrayLiteral("b1")), Status::Ok);
        QCOMPARE(m_store.write(m_service, b, QByteArrayLiteral("b2")), Status::Ok);
        // An empty account is an account of its own, not a wildcard.
        for (const QString& account : {QString(), b}) {
            QCOMPARE(m_store.remove(m_service, account), Status::Ok);
            QCOMPARE(m_store.read(m_service, a).secret, QByteArrayLiteral("a"));
            QCOMPARE(m_store.read(otherService, b).secret, QByteArrayLiteral("other service"));
        }
        secretTool({u"clear"_s, u"service"_s, otherService});
    }

    // An absent Secret Service fails fast, whatever the limit, and a private
    // file takes its place; a hung one takes the limit, and stays the store in
    // use (choosing it does not wait). Columns: the bus (none, one without the
    // service, one whose service hangs), the limit, the least and most
    // milliseconds a call takes, the store chosen, a write to it.
    void unreachableService_data()
    {
        rows({u"none→5000→0→1000→a private file (→Ok", u"empty→5000→0→1000→a private file (→Ok",
              u"hung→700→650→1700→your desktop keyring (Secret Service)→Unavailable"});
    }

    void unreachableService()
    {
        const QStringList f = fields();
        PrivateBus bus;
        QProcess owner;
        QString address = u"unix:path="_s + m_env.root() + u"/no-such-socket"_s;
        if (f[0] != u"none") {
            QVERIFY(bus.start());
            address = bus.address();
        }
        if (f[0] == u"hung") {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
            owner.setProcessEnvironment(env);
            owner.start(QCoreApplication::applicationFilePath(), {u"--child"_s, u"own-secrets"_s});
            QVERIFY(owner.waitForReadyRead(10000));
            QCOMPARE(owner.readLine().trimmed(), QByteArrayLiteral("ready"));
            // It owns the name, the bus queues the calls, and nobody answers.
            ::kill(pid_t(owner.processId()), SIGSTOP);
        }
        const auto results = runChild(address, std::chrono::milliseconds(f[1].toInt()));
        if (owner.state() != QProcess::NotRunning) {
            owner.kill();
            owner.waitForFinished(3000);
        }
        for (const char* op : {"read", "write", "remove"}) {
            const ChildResult r = results.value(QLatin1StringView(op));
            QCOMPARE(r.result, u"Unavailable"_s);
            QVERIFY2(r.ms >= f[2].toInt() && r.ms < f[3].toInt(), op);
        }
        const ChildResult factory = results.value(u"factory"_s);
        QVERIFY2(factory.result.startsWith(f[4]) && factory.ms < 1000, qPrintable(factory.result));
        QCOMPARE(results.value(u"factory-write"_s).result, f[5]);
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
        QFile::setPermissions(keyringHome.filePath(u"runtime"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address());
        env.insert(u"HOME"_s, keyringHome.filePath(u"home"_s));
        env.insert(u"XDG_DATA_HOME"_s, keyringHome.filePath(u"data"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, keyringHome.filePath(u"runtime"_s));
        env.remove(u"DISPLAY"_s);
        QProcess keyring;
        keyring.setProcessEnvironment(env);
        keyring.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        keyring.start(u"gnome-keyring-daemon"_s,
                      {u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s});
        if (!keyring.waitForStarted(5000)) {
            QSKIP("gnome-keyring-daemon is not installed");
        }
        // The password unlocks (creates) its login keyring. No event loop runs
        // here, so push the bytes out before closing.
        keyring.write("locked-test");
        keyring.waitForBytesWritten(5000);
        keyring.closeWriteChannel();

        constexpr auto limit = 2000ms;
        const auto results = runChild(bus.address(), limit, u"locked"_s);
        keyring.kill();
        keyring.waitForFinished(3000);

        QCOMPARE(results.value(u"write-unlocked"_s).result, u"Ok"_s);
        QCOMPARE(results.value(u"lock"_s).result, u"Ok"_s);
        QCOMPARE(results.value(u"read"_s).result, u"Unavailable"_s);
        // Clearing skips locked items: the item is still there.
        QCOMPARE(results.value(u"remove"_s).result, u"Unavailable"_s);
        QCOMPARE(results.value(u"write"_s).result, u"Unavailable"_s);
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
