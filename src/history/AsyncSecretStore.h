#pragma once

#include "common/BoundedCall.h"
#include "history/SecretStore.h"

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// The secret store as the main thread uses it: every call runs on a worker
// thread and reports back on the main thread, so that a keyring waiting for
// an unlock prompt nobody answers cannot freeze the application. A call that
// does not answer within the time limit counts as Unavailable and is
// abandoned (its thread may linger until the store returns). Calls run one
// at a time, in the order they were made.
class AsyncSecretStore : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{8000};

    explicit AsyncSecretStore(std::shared_ptr<SecretStore> store,
                              std::chrono::milliseconds timeLimit = defaultTimeLimit,
                              QObject* parent = nullptr);

    // Runs job against the store; done gets its result, or onTimeout when
    // the store did not answer in time. Nothing is called once context (which
    // lives on the main thread) is gone.
    template <typename T>
    void call(QObject* context, std::function<T(SecretStore&)> job, T onTimeout,
              std::function<void(T)> done)
    {
        // Tickets keep the calls in the order they were made, whichever
        // worker thread gets going first.
        const quint64 ticket = m_serial->issued++;
        BoundedCall::run<T>(
            context, m_timeLimit,
            [store = m_store, serial = m_serial, ticket, job = std::move(job)] {
                std::unique_lock lock(serial->mutex);
                serial->turn.wait(lock, [&] { return serial->serving == ticket; });
                T result = job(*store);
                ++serial->serving;
                serial->turn.notify_all();
                return result;
            },
            std::move(onTimeout), std::move(done));
    }

    // A call that runs out of time answers Unavailable.
    void read(QObject* context, const QString& service, const QString& account,
              std::function<void(SecretStore::Lookup)> done);
    void write(QObject* context, const QString& service, const QString& account,
               const QByteArray& secret, std::function<void(SecretStore::Status)> done);
    void remove(QObject* context, const QString& service, const QString& account,
                std::function<void(SecretStore::Status)> done);

    QString displayName() const { return m_store->displayName(); }
    const std::shared_ptr<SecretStore>& store() const { return m_store; }
    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Told by whoever watches the store, when its answer may have changed
    // (the keyring appeared on the bus or was unlocked).
    void announceAvailabilityChange() { emit availabilityChanged(); }

signals:
    void availabilityChanged();

private:
    std::shared_ptr<SecretStore> m_store;
    struct Serial
    {
        std::mutex mutex;
        std::condition_variable turn;
        quint64 serving = 0;
        quint64 issued = 0; // touched on the main thread only
    };
    std::shared_ptr<Serial> m_serial = std::make_shared<Serial>();
    std::chrono::milliseconds m_timeLimit;
};
