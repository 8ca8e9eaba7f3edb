#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

// Tells when the Secret Service may answer differently: its name appears on
// the session bus, or a collection changes (gnome-keyring and KWallet report
// an unlocked collection this way). Lets captures that wait for a locked
// keyring be saved as soon as the user unlocks it.
class SecretServiceWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SecretServiceWatcher(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

signals:
    void availabilityChanged();

private slots:
    void onCollectionChanged();

private:
    QDBusServiceWatcher* m_watcher;
};
