// Cost per key event of the key observation path, which runs for every key
// pressed anywhere on the desktop while a sequence of several chords is
// registered: the backend's signal into HotkeyManager, its buffer, pruning
// and matching. Baseline in the same run: the same signal into an empty slot.
//
//   bench_hotkeys [EVENTS] [RUNS]

#include "hotkeys/HotkeyManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

struct Event
{
    HotkeyBackend::EventType type;
    quint32 keyCode;
    quint32 modifiers;
    double time;
};

// Emits the events it is given, as a backend does for each key.
class ReplayBackend : public HotkeyBackend
{
public:
    Expected<void, HotkeyError> grabChord(const KeyPress&) override { return {}; }
    void ungrabChord() override {}
    Expected<void, HotkeyError> startObserving() override { return {}; }
    void stopObserving() override {}
    void replay(const std::vector<Event>& events)
    {
        for (const Event& e : events) {
            emit keyEvent(e.type, e.keyCode, e.modifiers, e.time);
        }
    }
};

// Typing at about 12 keys a second: letters, capitals with Shift, now and
// then a Super chord, and the registered sequence once in a while.
std::vector<Event> typing(int count)
{
    using T = HotkeyBackend::EventType;
    constexpr quint32 shift = CarbonModifier::Shift, cmd = CarbonModifier::Command;
    std::vector<Event> events;
    events.reserve(size_t(count) + 8);
    quint64 state = 0x9E3779B97F4A7C15ULL;
    double t = 0;
    while (int(events.size()) < count) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const quint32 r = quint32(state >> 32);
        const quint32 letter = r % 46;
        t += 0.08;
        switch (r % 23) {
        case 0: // a capital
            events.push_back({T::flagsChanged, 56, shift, t});
            events.push_back({T::keyDown, letter, shift, t + 0.03});
            events.push_back({T::flagsChanged, 56, 0, t + 0.06});
            break;
        case 1: // Super+K, Super+C
            events.push_back({T::flagsChanged, 55, cmd, t});
            events.push_back({T::keyDown, 40, cmd, t + 0.05});
            events.push_back({T::keyDown, 8, cmd, t + 0.2});
            events.push_back({T::flagsChanged, 55, 0, t + 0.3});
            break;
        default:
            events.push_back({T::keyDown, letter, 0, t});
        }
    }
    return events;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 200000;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 9;
    const std::vector<Event> events = typing(count);

    ReplayBackend backend;
    HotkeyManager manager;
    manager.setBackend(&backend);
    int fired = 0;
    (void)manager.registerSequence(
        KeySequence{{{40, CarbonModifier::Command}, {8, CarbonModifier::Command}}, 0.5},
        [&fired] { ++fired; });

    ReplayBackend baselineBackend;
    QObject sink;
    quint64 seen = 0;
    QObject::connect(
        &baselineBackend, &HotkeyBackend::keyEvent, &sink,
        [&seen](HotkeyBackend::EventType, quint32 code, quint32, double) { seen += code; });

    const auto nsPerEvent = [&](ReplayBackend& b) {
        QElapsedTimer timer;
        timer.start();
        b.replay(events);
        return double(timer.nsecsElapsed()) / double(events.size());
    };
    std::vector<double> path, baseline;
    for (int i = 0; i < runs; ++i) { // interleaved, so machine load hits both alike
        path.push_back(nsPerEvent(backend));
        baseline.push_back(nsPerEvent(baselineBackend));
    }
    QCoreApplication::processEvents(); // runs the pending callbacks
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    QTextStream out(stdout);
    out << events.size() << " key events per run, " << runs << " runs, median per event\n";
    out << QStringLiteral("  manager (signal, buffer, pruning, matching): %1 us\n")
               .arg(median(path) / 1000.0, 0, 'f', 3);
    out << QStringLiteral("  baseline (signal into an empty slot):        %1 us\n")
               .arg(median(baseline) / 1000.0, 0, 'f', 3);
    out << QStringLiteral("  ratio: %1; sequence detected %2 times (%3 expected)\n")
               .arg(median(path) / median(baseline), 0, 'f', 1)
               .arg(fired)
               .arg(std::count_if(events.begin(), events.end(),
                                  [](const Event& e) {
                                      return e.keyCode == 8 &&
                                             e.modifiers == CarbonModifier::Command;
                                  }) *
                    runs);
    return seen == 0 ? 1 : 0;
}
