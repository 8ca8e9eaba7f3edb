#pragma once

#include <QLatin1StringView>
#include <QObject>
#include <QVariant>

// Names of the in-process notifications between windows and the delegate.
namespace NotificationNames {
inline constexpr QLatin1StringView showHotkeyRecorder{"ShowHotkeyRecorder"};
inline constexpr QLatin1StringView updateMenuBarVisibility{"UpdateMenuBarVisibility"};
inline constexpr QLatin1StringView updateAdditiveClipboard{"UpdateAdditiveClipboard"};
} // namespace NotificationNames

// Posts named notifications to whoever observes them in this process.
// Delivery is synchronous, on the posting thread, like the platform centre.
class NotificationHub : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    static NotificationHub& shared();

    void post(QLatin1StringView name, const QVariant& object = {})
    {
        emit posted(QString(name), object);
    }

signals:
    void posted(const QString& name, const QVariant& object);
};
