#pragma once

#include "common/Expected.h"

#include <QDBusConnection>
#include <QImage>
#include <QObject>

#include <functional>

// A screenshot of the whole desktop through the xdg-desktop-portal
// Screenshot interface, without the portal's own dialog (non-interactive).
// GNOME asks the user once whether quillsnap may take screenshots; sway and
// KDE do not ask. The portal's file is read and then removed: it is a
// picture the user did not ask to keep (GNOME puts it in ~/Pictures).
namespace PortalScreenshot {

enum class Error {
    cancelled,   // the user dismissed the desktop's question
    denied,      // the desktop refused (permission off, no focused window to ask from)
    unavailable, // no portal, or one without a Screenshot interface
    failed,      // no answer in time, an unreadable file
};

struct Shot
{
    QImage image;
    QString path; // the portal's file (already removed when `keepFile` was false)
};
using Done = std::function<void(Expected<Shot, Error>)>;

// Answers on this thread. timeoutMs bounds the wait, the user's answer to a
// permission question included.
void take(const QDBusConnection& bus, int timeoutMs, Done done, QObject* context,
          bool keepFile = false);

} // namespace PortalScreenshot
