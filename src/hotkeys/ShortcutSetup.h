#pragma once

#include "common/Expected.h"

#include <QString>

#include <functional>

// Setting up a desktop shortcut that runs the capture command, for desktops
// where an application cannot make a key global itself (sway and the other
// wlroots compositors, GNOME before 48). Shown by the first-run window and
// the settings window; the backend in src/platform/ knows where each
// desktop keeps its shortcuts. Answers come later, on the main thread.
class ShortcutSetup
{
public:
    enum class Method {
        gnomeSettings, // GNOME's custom keybindings (gsettings)
        swayConfig,    // a bindsym line in the sway configuration
        manual,        // only the command to bind by hand
    };

    virtual ~ShortcutSetup() = default;

    virtual Method method() const = 0;
    // The command the shortcut runs ("quillsnap-cli capture").
    virtual QString command() const = 0;
    // The keys, in the desktop's own notation ("<Shift><Super>8").
    virtual QString trigger() const = 0;
    // What is written, as the user could write it by hand: the sway line,
    // or the gsettings commands.
    virtual QString instructions() const = 0;

    // Writes the shortcut where the desktop keeps it, replacing one written
    // before. The error says what went wrong, for the user.
    virtual void install(std::function<void(Expected<void, QString>)> done) = 0;
    // Whether the shortcut is in place.
    virtual void checkInstalled(std::function<void(bool)> done) = 0;
};
