#include "platform/SecretServiceWatcher.h"

#include <QDBusServiceWatcher>

namespace {
const QString serviceName = QStringLiteral("org.freedesktop.secrets");
} // namespace

SecretServiceWatcher::SecretServiceWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_watcher(new QDBusServiceWatcher(
                           serviceName, bus, QDBusServiceWatcher::WatchForRegistration, this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &SecretServiceWatcher::availabilityChanged);
    // Unlocking changes the collection's "Locked" property; the service
    // announces changed collections too. Either one will do.
    bus.connect(serviceName, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this, SLOT(onCollectionChanged()));
    bus.connect(serviceName, QStringLiteral("/org/freedesktop/secrets"),
                QStringLiteral("org.freedesktop.Secret.Service"),
                QStringLiteral("CollectionChanged"), this, SLOT(onCollectionChanged()));
}

void SecretServiceWatcher::onCollectionChanged()
{
    emit availabilityChanged();
}
