// The stored hot-key binding, fed any UTF-8. A decoded sequence must be
// written back to text that decodes to the same sequence, and must match its
// own presses typed without a pause (unless its time
// between keys is negative).
#include "FuzzCheck.h"

#include "hotkeys/KeySequence.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<KeySequence> sequence = KeySequence::fromJSONString(text);
    if (!sequence) {
        return 0;
    }
    const std::optional<QString> json = sequence->toJSONString();
    FUZZ_CHECK(json);
    FUZZ_CHECK(KeySequence::fromJSONString(*json) == sequence);

    FUZZ_CHECK(!sequence->displayString().isEmpty());
    (void)sequence->menuDisplayString();
    QList<KeyBufferEntry> typed;
    for (const KeyPress& press : sequence->presses) {
        typed.append({press, 0.0});
    }
    // A single chord has no gap to time.
    FUZZ_CHECK(sequence->matches(typed) ==
               (!typed.isEmpty() && (typed.size() == 1 || sequence->maxTimeBetweenKeys >= 0)));
    return 0;
}
