#include "platform/SecretStoreFactory.h"

#include "history/FileSecretStore.h"
#include "platform/SecretServiceStore.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSecretStoreFactory, "quillsnap.secrets.factory")

namespace {

// The bus daemon itself answers these at once, whatever the keyring does.
bool secretServiceOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    const QString name = QStringLiteral("org.freedesktop.secrets");
    for (const char* method : {"NameHasOwner", "ListActivatableNames"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
        if (qstrcmp(method, "NameHasOwner") == 0) {
            call << name;
        }
        const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            continue;
        }
        const QVariant answer = reply.arguments().constFirst();
        if (answer.toBool() || answer.toStringList().contains(name)) {
            return true;
        }
    }
    return false;
}

} // namespace

namespace SecretStoreFactory {

std::shared_ptr<SecretStore> create(const Options& options)
{
    if (!secretServiceOnBus()) {
        auto store = std::make_shared<FileSecretStore>(
            options.filePath.isEmpty() ? FileSecretStore::defaultPath() : options.filePath);
        qCInfo(lcSecretStoreFactory, "no Secret Service in this session: using %s",
               qPrintable(store->displayName()));
        return store;
    }
    return std::make_shared<SecretServiceStore>(options.callLimit);
}

} // namespace SecretStoreFactory
