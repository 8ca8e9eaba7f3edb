#include "platform/PortalHotkeyBackend.h"
#include "platform/PortalRequest.h"
#include "platform/PortalScreenshot.h"

#include "CaseTable.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
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

// A stand-in for the GlobalShortcuts front end, taking raw messages so that
// it sees the signature the client sends, as a real portal checks it.
class StandInShortcuts : public QDBusVirtualObject
{
public:
    explicit StandInShortcuts(QDBusConnection bus) : m_bus(std::move(bus)) {}
    uint bindAnswer = 0;
    QString bindSignature;
    QString trigger;
    QString session;
    QString client;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override
    {
        if (message.interface() != u"org.freedesktop.portal.GlobalShortcuts") {
            return false;
        }
        client = message.service();
        const QVariantMap options =
            qdbus_cast<QVariantMap>(message.arguments().constLast().value<QDBusArgument>());
        const QString request =
            PortalRequest::requestPath(client, options.value(u"handle_token"_s).toString());
        QVariantMap results;
        uint code = 0;
        if (message.member() == u"CreateSession") {
            session = u"/org/freedesktop/portal/desktop/session/1/"_s +
                      options.value(u"session_handle_token"_s).toString();
            results.insert(u"session_handle"_s, session);
        } else if (message.member() == u"BindShortcuts") {
            bindSignature = message.signature();
            const QDBusArgument shortcuts = message.arguments().at(1).value<QDBusArgument>();
            shortcuts.beginArray();
            while (!shortcuts.atEnd()) {
                QString id;
                QVariantMap properties;
                shortcuts.beginStructure();
                shortcuts >> id >> properties;
                shortcuts.endStructure();
                trigger = id + u'=' + properties.value(u"preferred_trigger"_s).toString();
            }
            shortcuts.endArray();
            code = bindAnswer;
        } else {
            return false;
        }
        QDBusMessage response = QDBusMessage::createTargetedSignal(
            client, request, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response << code << results;
        m_bus.send(response);
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        return true;
    }

    void activate(const QString& sessionPath, const QString& id)
    {
        QDBusMessage signal = QDBusMessage::createTargetedSignal(
            client, QLatin1String(PortalRequest::path), u"org.freedesktop.portal.GlobalShortcuts"_s,
            u"Activated"_s);
        signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << id << qulonglong(1)
               << QVariantMap();
        m_bus.send(signal);
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

class TestPortalClients : public QObject
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
    // Columns: the portal's answer ("-1": no portal on the bus), whether
    // the file it names is there, the outcome.
    void answers_data()
    {
        rows({u"0→file→ok", u"1→file→cancelled", u"2→file→denied", u"0→gone→failed",
              u"-1→file→unavailable"});
    }

    void answers()
    {
        const QStringList f = fields();
        const int code = f[0].toInt();
        const bool file = f[1] == u"file";
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

        const QStringList errors{u"cancelled"_s, u"denied"_s, u"unavailable"_s, u"failed"_s};
        QCOMPARE(result ? u"ok"_s : errors.value(int(result.error())), f[2]);
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

    // GlobalShortcuts: one session, the chord bound as "capture" with our
    // trigger, Activated of that session is a press; a refused or missing
    // portal is reported later through refused().
    // Columns: BindShortcuts' answer ("-1": no portal), the refusal told.
    void globalShortcuts_data() { rows({u"0→none", u"1→taken", u"-1→unsupported"}); }
    void globalShortcuts()
    {
        const QStringList f = fields();
        const int answer = f[0].toInt();
        const int refusal = f[1] == u"none"    ? -1
                            : f[1] == u"taken" ? int(HotkeyError::taken)
                                               : int(HotkeyError::unsupported);
        m_service->unregisterObject(QLatin1String(PortalRequest::path));
        StandInShortcuts portal(*m_service);
        portal.bindAnswer = uint(std::max(answer, 0));
        QVERIFY(m_service->registerVirtualObject(QLatin1String(PortalRequest::path), &portal));
        const QString name = QLatin1String(PortalRequest::service);
        QVERIFY(answer < 0 || m_service->registerService(name));

        PortalHotkeyBackend backend(*m_client);
        QSignalSpy pressed(&backend, &HotkeyBackend::chordPressed);
        QSignalSpy refused(&backend, &HotkeyBackend::refused);
        QVERIFY(backend.grabChord({28, CarbonModifier::Shift | CarbonModifier::Command}));
        QVERIFY(!backend.startObserving());
        if (refusal >= 0) {
            QTRY_COMPARE(refused.count(), 1);
            QCOMPARE(refused.at(0).at(0).value<HotkeyError>(), HotkeyError(refusal));
        } else {
            QTRY_COMPARE(portal.bindSignature, u"oa(sa{sv})sa{sv}"_s);
            QCOMPARE(portal.trigger, u"capture=SHIFT+LOGO+8"_s);
            portal.activate(portal.session + u"_other"_s, u"capture"_s);
            portal.activate(portal.session, u"capture"_s);
            QTRY_COMPARE(pressed.count(), 1);
            QTest::qWait(50);
            QCOMPARE(pressed.count(), 1);
            QCOMPARE(refused.count(), 0);
        }
        m_service->unregisterService(name);
        m_service->unregisterObject(QLatin1String(PortalRequest::path));
    }

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    std::optional<QDBusConnection> m_service;
    std::optional<QDBusConnection> m_client;
    std::unique_ptr<StandInPortal> m_portal;
};

QTEST_GUILESS_MAIN(TestPortalClients)
#include "tst_portalclients.moc"
