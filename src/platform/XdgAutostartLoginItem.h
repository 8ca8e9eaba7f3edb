#pragma once

#include "settings/LoginItem.h"

#include <QCoreApplication>
#include <QStringList>

// The login item as an XDG autostart entry (freedesktop Desktop Application
// Autostart Specification): $XDG_CONFIG_HOME/autostart/quillsnap.desktop.
//
// Enabling writes the entry atomically with the Exec line of the installed
// desktop entry (or this program's path when none is installed). Disabling
// removes it, or, when a system-wide entry in $XDG_CONFIG_DIRS would start
// the application anyway, replaces it with one marked Hidden=true. An entry
// the user switched off in the desktop's start-up settings (Hidden=true or
// X-GNOME-Autostart-enabled=false) counts as disabled.
class XdgAutostartLoginItem final : public LoginItem
{
    Q_DECLARE_TR_FUNCTIONS(XdgAutostartLoginItem)

public:
    static constexpr QLatin1StringView fileName{"quillsnap.desktop"};

    struct Places
    {
        QString userDir;        // where the entry is written
        QStringList systemDirs; // autostart folders of $XDG_CONFIG_DIRS
        QString installedEntry; // the application's desktop entry; may be empty
        QString executable;     // used when there is no installed entry
    };

    // The places of this session.
    XdgAutostartLoginItem();
    explicit XdgAutostartLoginItem(Places places);

    QString entryPath() const;
    // The command the entry runs.
    QString execLine() const;

    bool isEnabled() const override;
    Expected<void, QString> setEnabled(bool enabled) override;

    static Places sessionPlaces();

private:
    Expected<void, QString> write(const QByteArray& content) const;
    bool systemEntryStarts() const;

    Places m_places;
};
