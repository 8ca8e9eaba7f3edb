#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Runs a blocking job (a keyring call, say) on a thread of its own, so that a
// job that never returns cannot hold up its caller: past the time limit the
// caller is told so and goes on; the job's thread lingers until the job
// returns and its result is then dropped.
namespace BoundedCall {

namespace detail {
// Creates, on the main thread, the object that results are posted to.
void prepareMailbox();
// Posts fn to the main thread while the application object exists; drops it
// afterwards, so that a job returning during or after shutdown touches nothing.
void postToMainThread(std::function<void()> fn);
} // namespace detail

// Calls done exactly once, on the main thread (where context must live):
// with the job's result, or with onTimeout when limit passes first. Nothing
// is called once context is gone.
template <typename T>
void run(QObject* context, std::chrono::milliseconds limit, std::function<T()> job, T onTimeout,
         std::function<void(T)> done)
{
    struct State
    {
        QPointer<QObject> context;
        std::function<void(T)> done;
        bool settled = false;

        void settle(T result)
        {
            if (settled || !context) {
                return;
            }
            settled = true;
            auto callback = std::move(done);
            callback(std::move(result));
        }
    };
    // Touched on the main thread only: both deliveries below run there.
    auto state = std::make_shared<State>();
    state->context = context;
    state->done = std::move(done);
    detail::prepareMailbox();
    QTimer::singleShot(limit, context, [state, onTimeout = std::move(onTimeout)]() mutable {
        state->settle(std::move(onTimeout));
    });
    std::thread([state, job = std::move(job)]() mutable {
        T result = job();
        detail::postToMainThread(
            [state, result = std::move(result)]() mutable { state->settle(std::move(result)); });
    }).detach();
}

// The same for callers without an event loop (command-line tools): blocks
// for at most limit.
template <typename T> std::optional<T> wait(std::chrono::milliseconds limit, std::function<T()> job)
{
    struct Shared
    {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<T> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, job = std::move(job)]() mutable {
        T result = job();
        std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->ready.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    shared->ready.wait_for(lock, limit, [&] { return shared->result.has_value(); });
    return shared->result;
}

} // namespace BoundedCall
