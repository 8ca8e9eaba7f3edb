#include "platform/PortalRequest.h"
#include "platform/PortalScreenshot.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Error = PortalScreenshot::Error;
using Result = Expected<PortalScreenshot::Shot, Error>;

namespace {

// A stand-in for the portal's front end that answers with a chosen code. It
// emits the Response before it replies to the call, as a portal that needs
// no dialog may: a client that subscribes only after the reply misses it.
class StandInPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    explicit StandInPortal(QDBusConnection bus) : m_bus(std::move(bus)) {}
    uint code = 0;
    QString uri;
    QVariantMap lastOptions;

public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options)
    {
        lastOptions = options;
        const QString path = PortalRequest::requestPath(
            message().service(), options.value(u"handle_token"_s).toString());
        QDBusMessage response = QDBusMessage::createTargetedSignal(
            message().service(), path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response << code << QVariantMap{{u"uri"_s, uri}};
        m_bus.send(response);
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

Result take(const QDBusConnection& bus, int timeoutMs = 10'000)
{
    std::optional<Result> result;
    QObject context;
    PortalScreenshot::take(
        bus, timeoutMs, [&](Result r) { result = std::move(r); }, &context);
    // PortalScreenshot answers within its own timeout, always.
    QDeadlineTimer deadline(timeoutMs + 5000);
    while (!result && !deadline.hasExpired()) {
        QTest::qWait(10);
    }
    return result.value_or(Result(unexpected(Error::failed)));
}

} // namespace

class TestPortalScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_bus.setProgram(u"dbus-daemon"_s);
        // The session bus's own settings without its service directories: a
        // bus that starts nothing by activation, so "no portal" means none.
        QFile standard(u"/usr/share/dbus-1/session.conf"_s);
        QVERIFY(standard.open(QIODevice::ReadOnly));
        QFile config(m_dir.filePath(u"bus.conf"_s));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(standard.readAll().replace("<standard_session_servicedirs />", ""));
        config.close();
        m_bus.setArguments(
            {u"--config-file"_s, config.fileName(), u"--nofork"_s, u"--print-address=1"_s});
        m_bus.start();
        QVERIFY(m_bus.waitForReadyRead(10'000));
        const QString address = QString::fromUtf8(m_bus.readLine()).trimmed();
        m_service.emplace(QDBusConnection::connectToBus(address, u"portal"_s));
        m_client.emplace(QDBusConnection::connectToBus(address, u"client"_s));
        QVERIFY(m_service->isConnected() && m_client->isConnected());
        m_portal = std::make_unique<StandInPortal>(*m_service);
        QVERIFY(m_service->registerObject(QLatin1String(PortalRequest::path), m_portal.get(),
                                          QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        m_portal.reset();
        m_bus.kill();
        m_bus.waitForFinished();
    }

    // What each answer of a portal becomes; -1: no portal on the bus.
    void answers_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("file");
        QTest::addColumn<int>("error");
        QTest::newRow("success") << 0 << true << -1;
        QTest::newRow("cancelled at the desktop's question") << 1 << true << int(Error::cancelled);
        QTest::newRow("refused") << 2 << true << int(Error::denied);
        QTest::newRow("success without a file") << 0 << false << int(Error::failed);
        QTest::newRow("no portal") << -1 << true << int(Error::unavailable);
    }

    void answers()
    {
        QFETCH(int, code);
        QFETCH(bool, file);
        QFETCH(int, error);
        const QString path = m_dir.filePath(u"shot.png"_s);
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(path));
        m_portal->code = uint(std::max(code, 0));
        m_portal->uri = QUrl::fromLocalFile(file ? path : m_dir.filePath(u"gone.png"_s)).toString();
        const QString name = QLatin1String(PortalRequest::service);
        if (code >= 0) {
            QVERIFY(m_service->registerService(name));
        }
        const Result result = take(*m_client);
        m_service->unregisterService(name);

        QCOMPARE(result.hasValue() ? -1 : int(result.error()), error);
        if (code >= 0) {
            QCOMPARE(m_portal->lastOptions.value(u"interactive"_s), QVariant(false));
        }
        if (result) {
            QCOMPARE(result->image.size(), QSize(64, 32));
            QCOMPARE(result->image.pixelColor(5, 5), QColor(Qt::red));
        }
        // The portal's file is ours to remove once read.
        QCOMPARE(QFileInfo::exists(path), !(code == 0 && file));
    }

    // The real xdg-desktop-portal of the headless sway session the test
    // runs in (with its wlr backend): the output's content comes back.
    void realPortal()
    {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            QSKIP("needs the Wayland session of tests/e2e/in_wayland.sh");
        }
        const Result result = take(QDBusConnection::sessionBus(), 30'000);
        QVERIFY2(result.hasValue(), "the portal gave no screenshot");
        QCOMPARE(result->image.size(), QSize(1280, 720));
        // The session shows white with a red square at 100,100-300,300.
        QCOMPARE(result->image.pixelColor(200, 200), QColor(Qt::red));
        QCOMPARE(result->image.pixelColor(600, 400), QColor(Qt::white));
        QVERIFY(!QFileInfo::exists(result->path));
    }

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    std::optional<QDBusConnection> m_service;
    std::optional<QDBusConnection> m_client;
    std::unique_ptr<StandInPortal> m_portal;
};

QTEST_GUILESS_MAIN(TestPortalScreenshot)
#include "tst_portalscreenshot.moc"
