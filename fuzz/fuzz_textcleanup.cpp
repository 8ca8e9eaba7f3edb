// The clean-up of recognized text, fed any UTF-8.
#include "FuzzCheck.h"

#include "capture/TextCleanup.h"

#include <cstddef>
#include <cstdint>

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString cleaned = TextCleanup::cleanRecognizedText(text);
    // Lines are cut only at line terminators: a surrogate pair is never split.
    FUZZ_CHECK(cleaned.isValidUtf16());
    // The result has plain "\n" line ends and lines trimmed of white space.
    for (const QStringView line : QStringView(cleaned).split(u'\n')) {
        for (const QChar c : line) {
            FUZZ_CHECK(c != u'\r' && c != u'\v' && c != u'\f' && c != QChar(0x85) &&
                       c != QChar::LineSeparator && c != QChar::ParagraphSeparator);
        }
        FUZZ_CHECK(line.isEmpty() || (!isSpaceOrTab(line.front()) && !isSpaceOrTab(line.back())));
    }
    return 0;
}
