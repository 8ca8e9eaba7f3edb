// Table detection and conversion, fed any UTF-8.
#include "FuzzCheck.h"

#include "capture/TextProcessingService.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool tableLike = TextProcessingService::isTableLike(text);
    const QString table = TextProcessingService::formatAsTable(text);
    FUZZ_CHECK(table.isValidUtf16());
    // The table grows with the text, never with lines times columns.
    FUZZ_CHECK(table.size() <= 16 * text.size() + 4096);
    FUZZ_CHECK(TextProcessingService::finalText(text) == (tableLike ? table : text));
    return 0;
}
