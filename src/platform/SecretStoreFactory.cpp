#include "platform/SecretStoreFactory.h"

#include "history/FileSecretStore.h"
#include "history/SharedSecretStore.h"
#include "platform/SecretServiceStore.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSecretStoreFactory, "quillsnap.secrets.factory")

namespace SecretStoreFactory {

std::unique_ptr<SecretStore> create(const Options& options)
{
    const auto availability = SecretServiceStore::probe(options.probeLimit);
    if (availability == SecretServiceStore::Availability::Absent) {
        auto store = std::make_unique<FileSecretStore>(
            options.filePath.isEmpty() ? FileSecretStore::defaultPath() : options.filePath);
        qCInfo(lcSecretStoreFactory, "no Secret Service in this session: using %s",
               qPrintable(store->displayName()));
        return store;
    }
    return std::make_unique<SecretServiceStore>(options.callLimit);
}

QString installShared(const Options& options)
{
    auto store = create(options);
    const QString name = store->displayName();
    SharedSecretStore::install(std::move(store));
    return name;
}

} // namespace SecretStoreFactory
