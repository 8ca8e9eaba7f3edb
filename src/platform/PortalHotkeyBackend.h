#pragma once

#include "hotkeys/HotkeyBackend.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QVariantMap>

// One global chord through the xdg-desktop-portal GlobalShortcuts interface
// (KDE Plasma 5.27 and later, GNOME 48 and later, Hyprland): a session is
// created once, the chord is bound to it as the "capture" shortcut with our
// chord as the preferred trigger, and the portal's Activated signal is the
// press. The desktop may show its own dialog and let the user pick another
// trigger; the desktop's choice wins. Every step is asynchronous: a grab is
// granted at once and refused later through refused() when the portal
// lacks the interface or fails. Key observation (sequences of several
// chords) does not exist on Wayland.
class PortalHotkeyBackend final : public HotkeyBackend
{
    Q_OBJECT
public:
    explicit PortalHotkeyBackend(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);
    ~PortalHotkeyBackend() override;

    Expected<void, HotkeyError> grabChord(const KeyPress& chord) override;
    void ungrabChord() override;
    Expected<void, HotkeyError> startObserving() override;
    void stopObserving() override {}

private slots:
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong time,
                     const QVariantMap& options);

private:
    void createSession();
    void bind();
    void fail(HotkeyError error);

    QDBusConnection m_bus;
    QString m_session;
    bool m_creating = false;
    bool m_unsupported = false;
    std::optional<KeyPress> m_chord;
};
