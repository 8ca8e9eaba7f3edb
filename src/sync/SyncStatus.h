#pragma once

#include <QMetaType>
#include <QString>

// What the history window shows about sync: nothing going on, a run under
// way, a run just finished (shown for two seconds), or the last run or
// account check failed, with the reason.
struct SyncStatus
{
    enum class State { idle, syncing, success, error };

    State state = State::idle;
    QString message; // set for error only

    static SyncStatus idle() { return {}; }
    static SyncStatus syncing() { return {State::syncing, {}}; }
    static SyncStatus success() { return {State::success, {}}; }
    static SyncStatus error(QString message) { return {State::error, std::move(message)}; }

    bool operator==(const SyncStatus&) const = default;
};

Q_DECLARE_METATYPE(SyncStatus)
