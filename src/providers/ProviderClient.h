#pragma once

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <optional>

// What the three provider clients share: image work on worker threads and
// one POST at a time per request through the network access manager, on the
// thread that owns the client (the main thread). Every callback runs on that
// thread, from the event loop; none runs once the client is gone.
class ProviderClient : public QObject
{
    Q_OBJECT
public:
    // A response larger than this is a provider fault, not text.
    static constexpr qint64 maxResponseBytes = 16 * 1024 * 1024;

    ~ProviderClient() override;

    // How long a request may go without receiving anything.
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    struct Transfer
    {
        // Set when the exchange itself failed (no connection, time-out, a cut
        // response); the body is then empty. A response with any HTTP status
        // is not a transfer failure: its body is for the client to read.
        std::optional<QString> failure;
        QByteArray body;
    };

protected:
    ProviderClient(std::chrono::milliseconds timeout, QObject* parent);

    // Runs work on a worker, then then(result) on this object's thread.
    template <typename T> void offMainThread(std::function<T()> work, std::function<void(T)> then)
    {
        m_workers.start([this, work = std::move(work), then = std::move(then)]() mutable {
            T result = work();
            // The destructor waits for the workers, so this is still alive;
            // the queued call is dropped if it goes before the call runs.
            QMetaObject::invokeMethod(
                this,
                [then = std::move(then), result = std::move(result)]() mutable {
                    then(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

    // Posts body with the timeout and without following redirects (which
    // could lead the key elsewhere). secret is blanked out of failure texts.
    void post(QNetworkRequest request, const QByteArray& body, const QString& secret,
              std::function<void(Transfer)> done);

    // Queues done(), so that early failures arrive from the event loop too.
    void later(std::function<void()> done);

private:
    QNetworkAccessManager m_network{this};
    QThreadPool m_workers;
    std::chrono::milliseconds m_timeout;
};

// text with every occurrence of secret (as it is and percent-encoded) blanked.
QString withoutSecret(QString text, const QString& secret);
