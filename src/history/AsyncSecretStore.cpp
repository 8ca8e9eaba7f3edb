#include "history/AsyncSecretStore.h"

AsyncSecretStore::AsyncSecretStore(std::shared_ptr<SecretStore> store,
                                   std::chrono::milliseconds timeLimit, QObject* parent)
    : QObject(parent), m_store(std::move(store)), m_timeLimit(timeLimit)
{
}

void AsyncSecretStore::read(QObject* context, const QString& service, const QString& account,
                            std::function<void(SecretStore::Lookup)> done)
{
    call<SecretStore::Lookup>(
        context, [service, account](SecretStore& store) { return store.read(service, account); },
        SecretStore::Lookup{SecretStore::Status::Unavailable, {}}, std::move(done));
}

void AsyncSecretStore::write(QObject* context, const QString& service, const QString& account,
                             const QByteArray& secret,
                             std::function<void(SecretStore::Status)> done)
{
    call<SecretStore::Status>(
        context,
        [service, account, secret](SecretStore& store) {
            return store.write(service, account, secret);
        },
        SecretStore::Status::Unavailable, std::move(done));
}

void AsyncSecretStore::remove(QObject* context, const QString& service, const QString& account,
                              std::function<void(SecretStore::Status)> done)
{
    call<SecretStore::Status>(
        context, [service, account](SecretStore& store) { return store.remove(service, account); },
        SecretStore::Status::Unavailable, std::move(done));
}
