#pragma once

#include "common/Expected.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/KeySequence.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

// Detects the capture key sequence anywhere on the desktop and runs a
// callback. One chord is made global through the backend; two or more are
// found by observing every key press and keeping the recent chords in a short
// timed buffer. The callback always runs later on the main thread, never from
// inside the event that completed the sequence. Main thread only.
class HotkeyManager : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype maxBufferSize = 10;

    explicit HotkeyManager(QObject* parent = nullptr);
    ~HotkeyManager() override;

    // The one instance of the process.
    static HotkeyManager& shared();

    // What watches the keyboard; not owned. Null: nothing can be watched.
    void setBackend(HotkeyBackend* backend);

    // Watches for sequence in place of anything watched before. The sequence
    // and callback are kept even when the backend refuses, as a later try
    // registers them again.
    Expected<void, HotkeyError> registerSequence(const KeySequence& sequence,
                                                 std::function<void()> callback);
    // Stops watching and forgets the sequence, the callback and the buffer.
    void unregister();

    // Whether a sequence can ever be detected. A modifier key pressed on its
    // own is a chord only at the end of a sequence: a key pressed after it
    // takes it into its own chord, and releasing it alone forgets it. As the
    // only chord it cannot be grabbed without taking every press of it.
    static bool canDetect(const KeySequence& sequence);

    // While suspended (the recorder is open) the sequence never fires and
    // keys typed meanwhile do not count towards it.
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }

    // The key observation path: one key press or modifier change anywhere.
    void handleEvent(HotkeyBackend::EventType type, quint32 keyCode, quint32 modifiers,
                     double time);

    // Whether the backend currently watches the registered sequence.
    bool isWatching() const { return m_grabbed || m_observing; }
    const std::optional<KeySequence>& registeredSequence() const { return m_sequence; }
    const QList<KeyBufferEntry>& buffer() const { return m_buffer; }

signals:
    // Another application became active.
    void applicationActivated();
    // A registration the backend had granted was refused or lost later.
    void registrationLost(HotkeyError error);

private:
    void removeTrailingModifierPresses();
    void checkForMatch(double now);
    void scheduleCallback();
    void onChordPressed();
    void onBackendRefused(HotkeyError error);

    QPointer<HotkeyBackend> m_backend;
    std::function<void()> m_callback;
    std::optional<KeySequence> m_sequence;
    QList<KeyBufferEntry> m_buffer;
    quint32 m_lastSeenModifiers = 0;
    bool m_grabbed = false;
    bool m_observing = false;
    bool m_suspended = false;
};
