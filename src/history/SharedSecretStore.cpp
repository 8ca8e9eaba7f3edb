#include "history/SharedSecretStore.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSharedSecrets, "quillsnap.secrets")

namespace {

class ForwardingStore : public SecretStore
{
public:
    Lookup read(const QString& service, const QString& account) override
    {
        return target() ? target()->read(service, account) : Lookup{Status::Unavailable, {}};
    }
    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        return target() ? target()->write(service, account, secret) : Status::Unavailable;
    }
    Status remove(const QString& service, const QString& account) override
    {
        return target() ? target()->remove(service, account) : Status::Unavailable;
    }
    QString displayName() const override
    {
        return m_installed ? m_installed->displayName() : QStringLiteral("No secret store");
    }

    std::unique_ptr<SecretStore> m_installed;

private:
    SecretStore* target()
    {
        if (!m_installed && !m_warned) {
            m_warned = true;
            qCWarning(lcSharedSecrets,
                      "a secret was requested before a secret store was installed");
        }
        return m_installed.get();
    }
    bool m_warned = false;
};

ForwardingStore& forwarder()
{
    static ForwardingStore instance;
    return instance;
}

} // namespace

namespace SharedSecretStore {

void install(std::unique_ptr<SecretStore> store)
{
    forwarder().m_installed = std::move(store);
}

SecretStore& get()
{
    return forwarder();
}

} // namespace SharedSecretStore
