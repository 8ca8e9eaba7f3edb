#pragma once

#include "common/DesktopEnvironment.h"
#include "hotkeys/KeySequence.h"
#include "hotkeys/ShortcutSetup.h"

#include <QObject>
#include <QStringList>

class QProcess;

// A desktop shortcut for the capture command. GNOME: a custom keybinding
// under org.gnome.settings-daemon.plugins.media-keys, written with gsettings
// (our own entry, added to the list of custom keybindings and replaced on
// the next set-up). sway: a bindsym line at the end of the user's
// configuration, after a marker comment, then `swaymsg reload`; a user
// without a configuration of their own gets a copy of the system's first,
// since sway reads only one. Elsewhere: the command to bind by hand.
class DesktopShortcutSetup final : public QObject, public ShortcutSetup
{
    Q_OBJECT
public:
    struct Paths
    {
        // The user's sway configuration and the one sway falls back to.
        QString swayConfig;
        QString swaySystemConfig;
    };
    static Paths defaultPaths();

    DesktopShortcutSetup(const DesktopEnvironment::Session& session, const KeyPress& chord,
                         QString command, Paths paths = defaultPaths(), QObject* parent = nullptr);

    // The method a session gets: nullopt where the key needs no set-up (X11,
    // KDE Plasma with its GlobalShortcuts portal).
    static std::optional<Method> methodFor(const DesktopEnvironment::Session& session);

    Method method() const override { return m_method; }
    QString command() const override { return m_command; }
    QString trigger() const override { return m_trigger; }
    QString instructions() const override;
    void install(std::function<void(Expected<void, QString>)> done) override;
    void checkInstalled(std::function<void(bool)> done) override;

    static constexpr const char* gnomePath =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/quillsnap-capture/";
    // The names in a GVariant string array as gsettings prints it.
    static QStringList parseStringArray(const QString& text);

private:
    using Step = std::function<void(bool ok, const QByteArray& output)>;
    void gsettings(const QStringList& arguments, Step next);
    QString bindsymLine() const;
    Expected<void, QString> writeSwayConfig() const;
    void installGnome(std::function<void(Expected<void, QString>)> done);

    Method m_method;
    QString m_command;
    QString m_trigger;
    Paths m_paths;
};
