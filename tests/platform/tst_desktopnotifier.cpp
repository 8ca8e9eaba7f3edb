#include "feedback/AppIcon.h"
#include "platform/DesktopNotifier.h"

#include <QApplication>
#include <QDBusContext>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {
const QString serviceName = QStringLiteral("io.github.quillsnap.TestNotifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
using Delivery = DesktopNotifier::Delivery;

// A notification server of our own on its own bus connection, answering the
// calls the way a desktop's server does, or refusing, or never answering.
class NotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    enum Mode { answer, refuse, silent };
    Mode mode = answer;
    bool markup = true;
    QStringList bodies;
    QVariantMap lastHints;

public slots:
    QStringList GetCapabilities()
    {
        return markup ? QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}
                      : QStringList{QStringLiteral("body")};
    }
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        bodies.append(body);
        lastHints = hints;
        if (mode == refuse) {
            sendErrorReply(QStringLiteral("org.freedesktop.Notifications.Error.Refused"),
                           QStringLiteral("notifications are switched off"));
        } else if (mode == silent) {
            setDelayedReply(true);
        }
        return uint(bodies.size());
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
    void delivery_data();
    void delivery();

private:
    QDBusConnection m_serverBus{QString()};
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
    m_trayHost.kill();
    m_trayHost.waitForFinished();
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
}

void TestDesktopNotifier::delivery_data()
{
    QTest::addColumn<QString>("bus");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("markup");
    QTest::addColumn<bool>("tray");
    QTest::addColumn<Delivery>("expected");
    QTest::addColumn<QStringList>("shown");
    const QString escaped =
        QStringLiteral("&lt;a href=&quot;http://x&quot;&gt;pay&lt;/a&gt; &amp; été");
    const QString raw = QStringLiteral("<a href=\"http://x\">pay</a> & été");
    using S = NotificationServer;
    QTest::newRow("markup server: body escaped")
        << "ours" << int(S::answer) << true << true << Delivery::desktop << QStringList{escaped};
    QTest::newRow("plain-text server: body as is")
        << "ours" << int(S::answer) << false << false << Delivery::desktop << QStringList{raw};
    QTest::newRow("refused: dropped, no balloon")
        << "ours" << int(S::refuse) << true << true << Delivery::dropped << QStringList{escaped};
    QTest::newRow("no answer: dropped after the timeout")
        << "ours" << int(S::silent) << true << false << Delivery::dropped << QStringList{escaped};
    QTest::newRow("no service: tray balloon")
        << "missing" << int(S::answer) << true << true << Delivery::trayFallback << QStringList();
    QTest::newRow("no service, no tray: dropped")
        << "missing" << int(S::answer) << true << false << Delivery::dropped << QStringList();
    QTest::newRow("no bus: tray balloon")
        << "none" << int(S::answer) << true << true << Delivery::trayFallback << QStringList();
}

void TestDesktopNotifier::delivery()
{
    QFETCH(QString, bus);
    QFETCH(int, mode);
    QFETCH(bool, markup);
    QFETCH(bool, tray);
    QFETCH(Delivery, expected);
    QFETCH(QStringList, shown);
    if (tray && !m_tray) {
        QSKIP("no tray host (needs X11 and trayer)");
    }
    NotificationServer server;
    server.mode = NotificationServer::Mode(mode);
    server.markup = markup;
    QVERIFY(m_serverBus.registerObject(path, &server, QDBusConnection::ExportAllSlots));
    QVERIFY(m_serverBus.registerService(serviceName));
    auto unregister = qScopeGuard([this] {
        m_serverBus.unregisterService(serviceName);
        m_serverBus.unregisterObject(path);
    });

    DesktopNotifier notifier(bus == QLatin1String("none") ? QDBusConnection(QStringLiteral("none"))
                                                          : QDBusConnection::sessionBus(),
                             bus == QLatin1String("ours")
                                 ? serviceName
                                 : QStringLiteral("io.github.quillsnap.NobodyHere"));
    notifier.setTrayIcon(tray ? m_tray : nullptr);
    notifier.setCallTimeout(400);
    QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);
    notifier.post(QStringLiteral("QR/Barcode Scanned"),
                  QStringLiteral("<a href=\"http://x\">pay</a> & été"));
    // Never synchronous: a server that does not answer must not block.
    QVERIFY(delivered.isEmpty());
    QVERIFY(delivered.wait(5000));
    QCOMPARE(delivered.first().first().value<Delivery>(), expected);
    QCOMPARE(server.bodies, shown);
    if (!shown.isEmpty()) {
        QCOMPARE(server.lastHints.value(QStringLiteral("sound-name")).toString(),
                 QStringLiteral("message-new-instant"));
    }
    QTRY_COMPARE(hasBalloon(), expected == Delivery::trayFallback);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qstrcmp(w->metaObject()->className(), "QBalloonTip") == 0) {
            w->close();
        }
    }
}

QTEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
