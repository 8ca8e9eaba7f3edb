#pragma once

#include <QIcon>

// The application's icons: the desktop theme's "quillsnap" icons when they are
// installed, otherwise the copies built into the program.
namespace AppIcon {
QIcon application();
// A one-colour variant for the tray, where colour icons look out of place.
QIcon symbolic();
} // namespace AppIcon
