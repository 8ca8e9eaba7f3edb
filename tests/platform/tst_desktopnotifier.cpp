#include "feedback/AppIcon.h"
#include "platform/DesktopNotifier.h"

#include <QApplication>
#include <QDBusContext>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using Delivery = DesktopNotifier::Delivery;

namespace {
const QString serviceName = u"io.github.quillsnap.TestNotifications"_s;

// A notification server of our own on its own bus connection: it reads
// markup or not, and answers, refuses, or never answers.
class NotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QString kind;
    QStringList bodies;

public slots:
    QStringList GetCapabilities()
    {
        return kind == "plain"_L1 ? QStringList{u"body"_s}
                                  : QStringList{u"body"_s, u"body-markup"_s};
    }
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        bodies.append(body);
        if (kind == "refuse"_L1) {
            sendErrorReply(u"org.freedesktop.Notifications.Error.Refused"_s, u"switched off"_s);
        }
        setDelayedReply(kind == "silent"_L1);
        return uint(bodies.size());
    }
};

QList<QWidget*> balloons()
{
    QList<QWidget*> found = QApplication::topLevelWidgets();
    found.removeIf([](QWidget* w) { return !w->isVisible() || !w->inherits("QBalloonTip"); });
    return found;
}
} // namespace

class TestDesktopNotifier : public QObject
{
    Q_OBJECT
    QDBusConnection m_serverBus{QString()};
    QProcess m_trayHost;
    std::unique_ptr<QSystemTrayIcon> m_tray;

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected()) {
            QSKIP("needs a session bus");
        }
        m_serverBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"server"_s);
        QVERIFY(m_serverBus.isConnected());
        // A tray to fall back on: an XEmbed host under X11 when trayer is there.
        const QString trayer = QStandardPaths::findExecutable(u"trayer"_s);
        if (QGuiApplication::platformName() == "xcb"_L1 && !trayer.isEmpty()) {
            m_trayHost.start(trayer, {u"--edge"_s, u"top"_s, u"--SetDockType"_s, u"true"_s});
            QTRY_VERIFY(QSystemTrayIcon::isSystemTrayAvailable());
            m_tray = std::make_unique<QSystemTrayIcon>(AppIcon::application());
            m_tray->show();
        }
    }

    void cleanupTestCase()
    {
        m_tray.reset();
        m_trayHost.kill();
        m_trayHost.waitForFinished();
    }

    void delivery_data()
    {
        // The server: one of ours of a kind, or no service, or no bus at all.
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<Delivery>("expected");
        QTest::addColumn<QString>("shown");
        const QString escaped = u"&lt;a href=&quot;http://x&quot;&gt;pay&lt;/a&gt; &amp; été"_s;
        QTest::newRow("markup server: escaped") << "markup" << true << Delivery::desktop << escaped;
        QTest::newRow("plain-text server: as is")
            << "plain" << false << Delivery::desktop << u"<a href=\"http://x\">pay</a> & été"_s;
        QTest::newRow("refused: dropped") << "refuse" << true << Delivery::dropped << escaped;
        QTest::newRow("no answer: dropped") << "silent" << false << Delivery::dropped << escaped;
        QTest::newRow("no service: tray") << "missing" << true << Delivery::trayFallback << "";
        QTest::newRow("no service, no tray") << "missing" << false << Delivery::dropped << "";
        QTest::newRow("no bus: tray") << "no bus" << true << Delivery::trayFallback << "";
    }

    void delivery()
    {
        QFETCH(QString, server);
        QFETCH(bool, tray);
        QFETCH(Delivery, expected);
        QFETCH(QString, shown);
        if (tray && !m_tray) {
            QSKIP("no tray host (needs X11 and trayer)");
        }
        NotificationServer ours;
        ours.kind = server;
        const QString path = u"/org/freedesktop/Notifications"_s;
        QVERIFY(m_serverBus.registerObject(path, &ours, QDBusConnection::ExportAllSlots));
        QVERIFY(server == "missing"_L1 || m_serverBus.registerService(serviceName));
        auto unregister = qScopeGuard([&] {
            m_serverBus.unregisterService(serviceName);
            m_serverBus.unregisterObject(path);
            qDeleteAll(balloons());
        });

        DesktopNotifier notifier(server == "no bus"_L1 ? QDBusConnection(u"none"_s)
                                                       : QDBusConnection::sessionBus(),
                                 serviceName);
        notifier.setTrayIcon(tray ? m_tray.get() : nullptr);
        notifier.setCallTimeout(400);
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);
        notifier.post(u"QR/Barcode Scanned"_s, u"<a href=\"http://x\">pay</a> & été"_s);
        // Never synchronous: a server that does not answer must not block.
        QVERIFY(delivered.isEmpty());
        QVERIFY(delivered.wait(5000));
        QCOMPARE(delivered.first().first().value<Delivery>(), expected);
        QCOMPARE(ours.bodies.join(QString()), shown);
        QTRY_COMPARE(balloons().size(), expected == Delivery::trayFallback ? 1 : 0);
    }
};

QTEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
