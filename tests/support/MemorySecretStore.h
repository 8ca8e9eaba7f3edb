#pragma once

#include "history/SecretStore.h"

#include <QHash>
#include <QPair>

#include <atomic>
#include <condition_variable>
#include <mutex>

// A secret store in memory that counts its calls and can answer Unavailable,
// as a locked keyring does, or hang until released, as a keyring waiting for
// an unlock prompt does. Safe to call from worker threads.
class MemorySecretStore : public SecretStore
{
public:
    std::atomic<bool> unavailable = false;
    std::atomic<int> reads = 0;
    std::atomic<int> writes = 0;

    // Calls block from now on until release().
    void hang()
    {
        std::lock_guard lock(m_mutex);
        m_hanging = true;
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_hanging = false;
        m_released.notify_all();
    }

    Lookup read(const QString& service, const QString& account) override
    {
        std::unique_lock lock(waitUntilReleased());
        ++reads;
        const auto it = m_items.constFind({service, account});
        return unavailable            ? Lookup{Status::Unavailable, {}}
               : it == m_items.cend() ? Lookup{Status::NotFound, {}}
                                      : Lookup{Status::Ok, *it};
    }

    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        std::unique_lock lock(waitUntilReleased());
        ++writes;
        if (!unavailable) {
            m_items.insert({service, account}, secret);
        }
        return unavailable ? Status::Unavailable : Status::Ok;
    }

    Status remove(const QString& service, const QString& account) override
    {
        std::unique_lock lock(waitUntilReleased());
        if (!unavailable) {
            m_items.remove({service, account});
        }
        return unavailable ? Status::Unavailable : Status::Ok;
    }

    QString displayName() const override { return QStringLiteral("memory"); }

    QByteArray secret(const QString& service, const QString& account) const
    {
        std::lock_guard lock(m_mutex);
        return m_items.value({service, account});
    }
    void set(const QString& service, const QString& account, const QByteArray& secret)
    {
        std::lock_guard lock(m_mutex);
        m_items.insert({service, account}, secret);
    }

private:
    std::unique_lock<std::mutex> waitUntilReleased()
    {
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return !m_hanging; });
        return lock;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_hanging = false;
    QHash<QPair<QString, QString>, QByteArray> m_items;
};
