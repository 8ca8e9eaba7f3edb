#include "hotkeys/HotkeyManager.h"

#include <QCoreApplication>

#include <algorithm>

HotkeyManager::HotkeyManager(QObject* parent) : QObject(parent)
{
    m_buffer.reserve(maxBufferSize + 1);
}

HotkeyManager::~HotkeyManager()
{
    unregister();
}

HotkeyManager& HotkeyManager::shared()
{
    static HotkeyManager* instance = [] {
        auto* manager = new HotkeyManager;
        if (QCoreApplication::instance() && manager->thread() != qApp->thread()) {
            manager->moveToThread(qApp->thread());
        }
        return manager;
    }();
    return *instance;
}

void HotkeyManager::setBackend(HotkeyBackend* backend)
{
    unregister();
    if (m_backend) {
        disconnect(m_backend, nullptr, this, nullptr);
    }
    m_backend = backend;
    if (!backend) {
        return;
    }
    connect(backend, &HotkeyBackend::chordPressed, this, &HotkeyManager::onChordPressed);
    connect(backend, &HotkeyBackend::keyEvent, this, &HotkeyManager::handleEvent);
    connect(backend, &HotkeyBackend::refused, this, &HotkeyManager::onBackendRefused);
    connect(backend, &HotkeyBackend::applicationActivated, this,
            &HotkeyManager::applicationActivated);
}

Expected<void, HotkeyError> HotkeyManager::registerSequence(const KeySequence& sequence,
                                                            std::function<void()> callback)
{
    unregister();
    if (sequence.presses.isEmpty()) {
        return unexpected(HotkeyError::emptySequence);
    }
    m_callback = std::move(callback);
    m_sequence = sequence;
    if (!canDetect(sequence)) {
        return unexpected(HotkeyError::modifierAlone);
    }
    if (!m_backend) {
        return unexpected(HotkeyError::unsupported);
    }
    if (sequence.presses.size() == 1) {
        const KeyPress& press = sequence.presses.first();
        // Bits beyond the four modifiers (a stored Caps Lock) must not
        // narrow the grab.
        auto grabbed =
            m_backend->grabChord(KeyPress{press.keyCode, press.modifiers & CarbonModifier::Mask});
        m_grabbed = grabbed.hasValue();
        return grabbed;
    }
    auto observing = m_backend->startObserving();
    m_observing = observing.hasValue();
    return observing;
}

void HotkeyManager::unregister()
{
    if (m_grabbed && m_backend) {
        m_backend->ungrabChord();
    }
    if (m_observing && m_backend) {
        m_backend->stopObserving();
    }
    m_grabbed = false;
    m_observing = false;
    m_callback = nullptr;
    m_sequence.reset();
    m_buffer.clear();
    m_lastSeenModifiers = 0;
}

bool HotkeyManager::canDetect(const KeySequence& sequence)
{
    const QList<KeyPress>& presses = sequence.presses;
    if (presses.isEmpty() || isModifierKeyCode(presses.constFirst().keyCode)) {
        return false;
    }
    return std::none_of(presses.cbegin(), presses.cend() - 1,
                        [](const KeyPress& p) { return isModifierKeyCode(p.keyCode); });
}

void HotkeyManager::setSuspended(bool suspended)
{
    m_suspended = suspended;
    m_buffer.clear();
    m_lastSeenModifiers = 0;
}

void HotkeyManager::handleEvent(HotkeyBackend::EventType type, quint32 keyCode, quint32 modifiers,
                                double time)
{
    if (m_suspended) {
        return;
    }
    const quint32 held = modifiers & CarbonModifier::Mask;
    if (type == HotkeyBackend::EventType::keyDown) {
        // A modifier pressed on its own and then used with this key is part
        // of this chord, not a chord before it.
        removeTrailingModifierPresses();
        m_buffer.append({KeyPress{keyCode, held}, time});
        m_lastSeenModifiers = held;
        checkForMatch(time);
        return;
    }
    // Caps Lock, Num Lock and keys without a modifier bit change nothing.
    if (!isModifierKeyCode(keyCode)) {
        return;
    }
    if (held > m_lastSeenModifiers) {
        m_buffer.append({KeyPress{keyCode, held}, time});
        m_lastSeenModifiers = held;
        checkForMatch(time);
    } else if (held < m_lastSeenModifiers) {
        // Modifiers pressed and released without a key form no chord.
        const bool onlyModifiers =
            std::all_of(m_buffer.cbegin(), m_buffer.cend(),
                        [](const KeyBufferEntry& e) { return isModifierKeyCode(e.press.keyCode); });
        if (onlyModifiers) {
            m_buffer.clear();
        }
        m_lastSeenModifiers = held;
    }
}

void HotkeyManager::removeTrailingModifierPresses()
{
    while (!m_buffer.isEmpty() && isModifierKeyCode(m_buffer.constLast().press.keyCode)) {
        m_buffer.removeLast();
    }
}

void HotkeyManager::checkForMatch(double now)
{
    if (m_buffer.size() > maxBufferSize) {
        m_buffer.removeFirst();
    }
    if (!m_sequence) {
        return;
    }
    const qsizetype n = m_sequence->presses.size();
    if (n >= 2) {
        const double oldest = now - m_sequence->maxTimeBetweenKeys * double(n);
        m_buffer.removeIf([oldest](const KeyBufferEntry& e) { return e.time < oldest; });
    }
    if (m_sequence->matches(m_buffer)) {
        m_buffer.clear();
        m_lastSeenModifiers = 0;
        scheduleCallback();
    }
}

void HotkeyManager::scheduleCallback()
{
    // The callback is read when the call runs: an unregister in between
    // cancels it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_callback && !m_suspended) {
                // A copy: the callback may register another sequence.
                const std::function<void()> callback = m_callback;
                callback();
            }
        },
        Qt::QueuedConnection);
}

void HotkeyManager::onChordPressed()
{
    if (m_grabbed && !m_suspended) {
        scheduleCallback();
    }
}

void HotkeyManager::onBackendRefused(HotkeyError error)
{
    if (!isWatching()) {
        return;
    }
    m_grabbed = false;
    m_observing = false;
    m_buffer.clear();
    emit registrationLost(error);
}
