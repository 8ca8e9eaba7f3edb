#include "feedback/AppIcon.h"
#include "platform/DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

namespace {
const QString serviceName = QStringLiteral("io.github.quillsnap.TestNotifications");
const QString missingService = QStringLiteral("io.github.quillsnap.NobodyHere");

struct Received
{
    QString appName;
    uint replacesId = 0;
    QString appIcon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expireTimeout = 0;
};

// A notification server of our own on its own bus connection, answering the
// calls the way a desktop's server does, or refusing, or never answering.
class NotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    enum class Mode { answer, refuse, silent };
    Mode mode = Mode::answer;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("body-markup")};
    QList<Received> received;
    int capabilityCalls = 0;

public slots:
    QStringList GetCapabilities()
    {
        ++capabilityCalls;
        return capabilities;
    }

    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout)
    {
        received.append(
            {appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
        if (mode == Mode::refuse) {
            sendErrorReply(QStringLiteral("org.freedesktop.Notifications.Error.Refused"),
                           QStringLiteral("notifications are switched off"));
        } else if (mode == Mode::silent) {
            setDelayedReply(true);
        }
        return uint(received.size());
    }
};

bool hasBalloon()
{
    const auto widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.begin(), widgets.end(), [](QWidget* w) {
        return w->isVisible() && qstrcmp(w->metaObject()->className(), "QBalloonTip") == 0;
    });
}
} // namespace

class TestDesktopNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void notifyCarriesTheMessage_data();
    void notifyCarriesTheMessage();
    void capabilitiesAskedOnce();
    void refusalIsDropped();
    void missingServiceFallsBack_data();
    void missingServiceFallsBack();
    void unresponsiveServerDoesNotBlock();
    void disconnectedBusFallsBack();

private:
    DesktopNotifier::Delivery postAndWait(DesktopNotifier& notifier, const QString& title,
                                          const QString& body);

    QDBusConnection m_serverBus{QString()};
    NotificationServer* m_server = nullptr;
    QProcess m_trayHost;
    QSystemTrayIcon* m_tray = nullptr;
};

void TestDesktopNotifier::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        QSKIP("needs a session bus");
    }
    m_serverBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
    QVERIFY(m_serverBus.isConnected());

    // A tray to fall back on: an XEmbed host under X11 when trayer is there.
    const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !trayer.isEmpty()) {
        m_trayHost.start(trayer, {QStringLiteral("--edge"), QStringLiteral("top"),
                                  QStringLiteral("--SetDockType"), QStringLiteral("true")});
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 5000);
        m_tray = new QSystemTrayIcon(AppIcon::application(), this);
        m_tray->show();
    }
}

void TestDesktopNotifier::cleanupTestCase()
{
    delete m_tray;
    if (m_trayHost.state() != QProcess::NotRunning) {
        m_trayHost.kill();
        m_trayHost.waitForFinished();
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
}

void TestDesktopNotifier::init()
{
    m_server = new NotificationServer;
    QVERIFY(m_serverBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), m_server,
                                       QDBusConnection::ExportAllSlots));
    QVERIFY(m_serverBus.registerService(serviceName));
}

void TestDesktopNotifier::cleanup()
{
    m_serverBus.unregisterService(serviceName);
    m_serverBus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    delete m_server;
    m_server = nullptr;
    // Let any balloon of the previous case go.
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        if (qstrcmp(w->metaObject()->className(), "QBalloonTip") == 0) {
            w->close();
        }
    }
}

DesktopNotifier::Delivery TestDesktopNotifier::postAndWait(DesktopNotifier& notifier,
                                                           const QString& title,
                                                           const QString& body)
{
    QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);
    notifier.post(title, body);
    // Never synchronous: the caller is back before anything is answered.
    if (!delivered.isEmpty()) {
        qWarning("delivered synchronously");
        return DesktopNotifier::Delivery(-1);
    }
    if (!delivered.wait(10000)) {
        return DesktopNotifier::Delivery(-2);
    }
    return delivered.first().first().value<DesktopNotifier::Delivery>();
}

void TestDesktopNotifier::notifyCarriesTheMessage_data()
{
    QTest::addColumn<bool>("markup");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("shown");
    const QString payload = QStringLiteral("<a href=\"http://x\">pay</a> & \u00e9t\u00e9");
    QTest::newRow("server reads markup: escaped")
        << true << payload
        << QStringLiteral("&lt;a href=&quot;http://x&quot;&gt;pay&lt;/a&gt; &amp; \u00e9t\u00e9");
    QTest::newRow("plain-text server: as is") << false << payload << payload;
    QTest::newRow("plain body") << true
                                << QStringLiteral("New captures will be appended to clipboard")
                                << QStringLiteral("New captures will be appended to clipboard");
}

void TestDesktopNotifier::notifyCarriesTheMessage()
{
    QFETCH(bool, markup);
    QFETCH(QString, body);
    QFETCH(QString, shown);
    if (!markup) {
        m_server->capabilities = {QStringLiteral("body")};
    }
    DesktopNotifier notifier(QDBusConnection::sessionBus(), serviceName);
    notifier.setTrayIcon(m_tray);
    QCOMPARE(postAndWait(notifier, QStringLiteral("QR/Barcode Scanned"), body),
             DesktopNotifier::Delivery::desktop);
    QCOMPARE(m_server->received.size(), 1);
    const Received& r = m_server->received.first();
    QCOMPARE(r.appName, QStringLiteral("quillsnap"));
    QCOMPARE(r.replacesId, 0u);
    QCOMPARE(r.appIcon, QStringLiteral("quillsnap"));
    QCOMPARE(r.summary, QStringLiteral("QR/Barcode Scanned"));
    QCOMPARE(r.body, shown);
    QVERIFY(r.actions.isEmpty());
    QCOMPARE(r.hints.value(QStringLiteral("sound-name")).toString(),
             QStringLiteral("message-new-instant"));
    QVERIFY(!r.hints.value(QStringLiteral("suppress-sound")).toBool());
    QCOMPARE(r.expireTimeout, -1);
    QVERIFY(!hasBalloon());
}

void TestDesktopNotifier::capabilitiesAskedOnce()
{
    DesktopNotifier notifier(QDBusConnection::sessionBus(), serviceName);
    QCOMPARE(
        postAndWait(notifier, QStringLiteral("Additive Clipboard Enabled"), QStringLiteral("one")),
        DesktopNotifier::Delivery::desktop);
    QCOMPARE(
        postAndWait(notifier, QStringLiteral("Additive Clipboard Disabled"), QStringLiteral("two")),
        DesktopNotifier::Delivery::desktop);
    QCOMPARE(m_server->capabilityCalls, 1);
    QCOMPARE(m_server->received.size(), 2);
    QCOMPARE(m_server->received.at(1).summary, QStringLiteral("Additive Clipboard Disabled"));
}

void TestDesktopNotifier::refusalIsDropped()
{
    m_server->mode = NotificationServer::Mode::refuse;
    DesktopNotifier notifier(QDBusConnection::sessionBus(), serviceName);
    notifier.setTrayIcon(m_tray);
    QCOMPARE(postAndWait(notifier, QStringLiteral("QR/Barcode Scanned"), QStringLiteral("x")),
             DesktopNotifier::Delivery::dropped);
    QCOMPARE(m_server->received.size(), 1);
    QTest::qWait(100);
    QVERIFY(!hasBalloon());
}

void TestDesktopNotifier::missingServiceFallsBack_data()
{
    QTest::addColumn<bool>("withTray");
    QTest::newRow("tray icon") << true;
    QTest::newRow("no tray icon") << false;
}

void TestDesktopNotifier::missingServiceFallsBack()
{
    QFETCH(bool, withTray);
    if (withTray && !m_tray) {
        QSKIP("no tray host (needs X11 and trayer)");
    }
    DesktopNotifier notifier(QDBusConnection::sessionBus(), missingService);
    notifier.setTrayIcon(withTray ? m_tray : nullptr);
    QElapsedTimer clock;
    clock.start();
    const auto delivery =
        postAndWait(notifier, QStringLiteral("QR/Barcode Scanned"), QStringLiteral("payload"));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    if (withTray) {
        QCOMPARE(delivery, DesktopNotifier::Delivery::trayFallback);
        QTRY_VERIFY(hasBalloon());
    } else {
        QCOMPARE(delivery, DesktopNotifier::Delivery::dropped);
    }
    QVERIFY(m_server->received.isEmpty());
}

void TestDesktopNotifier::unresponsiveServerDoesNotBlock()
{
    m_server->mode = NotificationServer::Mode::silent;
    DesktopNotifier notifier(QDBusConnection::sessionBus(), serviceName);
    notifier.setCallTimeout(400);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    const auto delivery = postAndWait(notifier, QStringLiteral("t"), QStringLiteral("b"));
    // A server that never answers counts as no server, after the timeout,
    // and the event loop kept running meanwhile.
    QCOMPARE(delivery, DesktopNotifier::Delivery::dropped);
    QVERIFY(clock.elapsed() >= 350);
    QVERIFY(ticks >= 10);
    QCOMPARE(m_server->received.size(), 1);
}

void TestDesktopNotifier::disconnectedBusFallsBack()
{
    DesktopNotifier notifier(QDBusConnection(QStringLiteral("never-connected")), serviceName);
    notifier.setTrayIcon(m_tray);
    const auto expected =
        m_tray ? DesktopNotifier::Delivery::trayFallback : DesktopNotifier::Delivery::dropped;
    QCOMPARE(postAndWait(notifier, QStringLiteral("t"), QStringLiteral("b")), expected);
    QVERIFY(m_server->received.isEmpty());
}

QTEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
