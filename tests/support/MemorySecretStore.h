#pragma once

#include "history/SecretStore.h"

#include <QHash>
#include <QPair>

// A secret store in memory that counts its calls and can be made to answer
// Unavailable, as a locked or unresponsive keyring does.
class MemorySecretStore : public SecretStore
{
public:
    bool unavailable = false;
    int reads = 0;
    int writes = 0;

    Lookup read(const QString& service, const QString& account) override
    {
        ++reads;
        if (unavailable) {
            return {Status::Unavailable, {}};
        }
        const auto it = m_items.constFind({service, account});
        if (it == m_items.constEnd()) {
            return {Status::NotFound, {}};
        }
        return {Status::Ok, *it};
    }

    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        ++writes;
        if (unavailable) {
            return Status::Unavailable;
        }
        m_items.insert({service, account}, secret);
        return Status::Ok;
    }

    Status remove(const QString& service, const QString& account) override
    {
        if (unavailable) {
            return Status::Unavailable;
        }
        m_items.remove({service, account});
        return Status::Ok;
    }

    QString displayName() const override { return QStringLiteral("memory"); }

    int itemCount() const { return int(m_items.size()); }
    QByteArray secret(const QString& service, const QString& account) const
    {
        return m_items.value({service, account});
    }
    void set(const QString& service, const QString& account, const QByteArray& secret)
    {
        m_items.insert({service, account}, secret);
    }

private:
    QHash<QPair<QString, QString>, QByteArray> m_items;
};
