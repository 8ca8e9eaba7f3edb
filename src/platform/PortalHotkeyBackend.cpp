#include "platform/PortalHotkeyBackend.h"

#include "hotkeys/ShortcutTrigger.h"
#include "platform/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMetaType>

namespace {

const QString interfaceName = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("capture");
constexpr int callTimeoutMs = 60'000;

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

PortalHotkeyBackend::PortalHotkeyBackend(const QDBusConnection& bus, QObject* parent)
    : HotkeyBackend(parent), m_bus(bus)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_bus.connect(QString(), QLatin1String(PortalRequest::path), interfaceName,
                  QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

PortalHotkeyBackend::~PortalHotkeyBackend()
{
    ungrabChord();
}

Expected<void, HotkeyError> PortalHotkeyBackend::grabChord(const KeyPress& chord)
{
    if (m_unsupported || !ShortcutTrigger::format(chord, ShortcutTrigger::Style::xdg)) {
        return unexpected(HotkeyError::unsupported);
    }
    m_chord = chord;
    if (m_session.isEmpty()) {
        createSession();
    } else {
        bind();
    }
    return {};
}

void PortalHotkeyBackend::ungrabChord()
{
    m_chord.reset();
    if (m_session.isEmpty()) {
        return;
    }
    // Closing the session releases its shortcuts.
    m_bus.send(QDBusMessage::createMethodCall(QLatin1String(PortalRequest::service), m_session,
                                              QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")));
    m_session.clear();
}

Expected<void, HotkeyError> PortalHotkeyBackend::startObserving()
{
    return unexpected(HotkeyError::unsupported);
}

void PortalHotkeyBackend::createSession()
{
    if (m_creating) {
        return;
    }
    m_creating = true;
    const QVariantMap options{{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::start(
        m_bus, interfaceName, QStringLiteral("CreateSession"), {}, options, callTimeoutMs,
        [this](const PortalRequest::Response& response) {
            m_creating = false;
            using Code = PortalRequest::Response::Code;
            if (response.code != Code::success) {
                m_unsupported = response.code == Code::noPortal;
                fail(HotkeyError::unsupported);
                return;
            }
            m_session = response.results.value(QStringLiteral("session_handle")).toString();
            if (m_session.isEmpty()) {
                fail(HotkeyError::unsupported);
                return;
            }
            if (m_chord) {
                bind();
            } else {
                ungrabChord();
            }
        },
        this);
}

void PortalHotkeyBackend::bind()
{
    if (!m_chord) {
        return;
    }
    PortalShortcut shortcut{shortcutId,
                            {{QStringLiteral("description"), tr("Capture text from the screen")},
                             {QStringLiteral("preferred_trigger"),
                              *ShortcutTrigger::format(*m_chord, ShortcutTrigger::Style::xdg)}}};
    const QList<PortalShortcut> shortcuts{shortcut};
    PortalRequest::start(
        m_bus, interfaceName, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
         QString()},
        {}, callTimeoutMs,
        [this](const PortalRequest::Response& response) {
            // The user declined the desktop's dialog, or the desktop failed.
            if (response.code != PortalRequest::Response::Code::success) {
                fail(response.code == PortalRequest::Response::Code::cancelled
                         ? HotkeyError::taken
                         : HotkeyError::unsupported);
            }
        },
        this);
}

void PortalHotkeyBackend::fail(HotkeyError error)
{
    if (m_chord) {
        emit refused(error);
    }
}

void PortalHotkeyBackend::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                      const QVariantMap&)
{
    if (!m_session.isEmpty() && session.path() == m_session && id == shortcutId && m_chord) {
        emit chordPressed();
    }
}
