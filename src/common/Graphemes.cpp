#include "common/Graphemes.h"

#include <QList>

#include <unicode/ubrk.h>

#include <memory>

namespace {
struct BreakIteratorDeleter
{
    void operator()(UBreakIterator* it) const { ubrk_close(it); }
};
} // namespace

namespace Graphemes {

bool forEach(const QString& text, const std::function<void(qsizetype, qsizetype)>& visit)
{
    if (text.isEmpty()) {
        return true;
    }
    // Opening an iterator loads the break rules; keep one per thread.
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorDeleter> iterator;
    UErrorCode status = U_ZERO_ERROR;
    if (!iterator) {
        iterator.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        if (U_FAILURE(status)) {
            iterator.reset();
            return false;
        }
    }
    static_assert(sizeof(QChar) == sizeof(UChar));
    ubrk_setText(iterator.get(), reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()),
                 &status);
    if (U_FAILURE(status)) {
        return false;
    }
    int32_t start = ubrk_first(iterator.get());
    for (int32_t end = ubrk_next(iterator.get()); end != UBRK_DONE;
         end = ubrk_next(iterator.get())) {
        visit(start, end);
        start = end;
    }
    return true;
}

qsizetype count(const QString& text)
{
    qsizetype n = 0;
    if (!forEach(text, [&n](qsizetype, qsizetype) { ++n; })) {
        // Without break rules, code points are the closest measure.
        return text.toUcs4().size();
    }
    return n;
}

QString left(const QString& text, qsizetype n)
{
    if (n <= 0) {
        return {};
    }
    qsizetype seen = 0;
    qsizetype cut = text.size();
    forEach(text, [&](qsizetype, qsizetype end) {
        if (seen < n && ++seen == n) {
            cut = end;
        }
    });
    return text.left(cut);
}

QString preview(const QString& text, qsizetype n)
{
    const QString head = left(text, n);
    return head.size() < text.size() ? head + QStringLiteral("...") : head;
}

} // namespace Graphemes
