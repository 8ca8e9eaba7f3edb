#include "UnicodeText.h"

#include <unicode/uchar.h>

namespace UnicodeText {

namespace {

// A code unit that is a character of its own whatever its neighbours are.
// Below U+0300 that holds for everything but CR (which joins a following LF).
bool standsAlone(char16_t unit)
{
    if (unit < 0x300) {
        return unit != u'\r';
    }
    if (QChar::isSurrogate(unit)) {
        return false;
    }
    const auto gcb = u_getIntPropertyValue(unit, UCHAR_GRAPHEME_CLUSTER_BREAK);
    return gcb == U_GCB_OTHER || gcb == U_GCB_CONTROL || gcb == U_GCB_LF;
}

bool isSimple(QStringView text)
{
    for (const QChar c : text) {
        if (!standsAlone(c.unicode())) {
            return false;
        }
    }
    return true;
}

// Equality of characters is canonical equivalence: "é" precomposed equals
// "e" + U+0301, and U+212B ANGSTROM SIGN equals "Å".
bool sameCharacter(QStringView a, QStringView b)
{
    if (a == b) {
        return true;
    }
    return a.toString().normalized(QString::NormalizationForm_C) ==
           b.toString().normalized(QString::NormalizationForm_C);
}

} // namespace

bool isAlphanumeric(char32_t codePoint)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(codePoint)) &
            (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhitespace(text[begin].unicode())) {
        ++begin;
    }
    while (end > begin && isWhitespace(text[end - 1].unicode())) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

QString trimmed(const QString& text)
{
    const QStringView view = trimmed(QStringView(text));
    return view.size() == text.size() ? text : view.toString();
}

bool isBlank(QStringView text)
{
    return trimmed(text).isEmpty();
}

char32_t firstCodePoint(QStringView text)
{
    if (text.isEmpty()) {
        return 0;
    }
    const QChar first = text.at(0);
    if (first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate()) {
        return QChar::surrogateToUcs4(first, text.at(1));
    }
    return first.unicode();
}

bool containsAlphanumeric(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t cp = text.at(i).unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (isAlphanumeric(cp)) {
            return true;
        }
    }
    return false;
}

icu::UnicodeString icuAlias(QStringView text)
{
    return icu::UnicodeString(false, reinterpret_cast<const char16_t*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

Pattern::Pattern(const char16_t* pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    m_pattern.reset(icu::RegexPattern::compile(icu::UnicodeString(pattern), 0, parseError, status));
    Q_ASSERT_X(U_SUCCESS(status), "UnicodeText::Pattern", "invalid regular expression");
    if (U_FAILURE(status)) {
        m_pattern.reset();
    }
}

std::unique_ptr<icu::RegexMatcher> Pattern::matcher() const
{
    if (!m_pattern) {
        return nullptr;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> m(m_pattern->matcher(status));
    if (m) {
        m->setStackLimit(0, status);
    }
    if (!m || U_FAILURE(status)) {
        return nullptr;
    }
    return m;
}

bool contains(icu::RegexMatcher& matcher, QStringView text)
{
    const icu::UnicodeString input = icuAlias(text);
    matcher.reset(input);
    UErrorCode status = U_ZERO_ERROR;
    const bool found = matcher.find(status);
    return found && U_SUCCESS(status);
}

Graphemes::Graphemes() = default;

Graphemes::~Graphemes()
{
    m_iterator.reset();
    utext_close(&m_text);
}

icu::BreakIterator* Graphemes::iterate(QStringView text)
{
    UErrorCode status = U_ZERO_ERROR;
    if (!m_iterator) {
        m_iterator.reset(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            m_iterator.reset();
            return nullptr;
        }
    }
    utext_openUChars(&m_text, reinterpret_cast<const char16_t*>(text.utf16()), text.size(),
                     &status);
    m_iterator->setText(&m_text, status);
    return U_SUCCESS(status) ? m_iterator.get() : nullptr;
}

qsizetype Graphemes::length(QStringView text, qsizetype limit)
{
    if (isSimple(text)) {
        return std::min(text.size(), limit);
    }
    icu::BreakIterator* it = iterate(text);
    if (!it) {
        return std::min(text.size(), limit);
    }
    qsizetype count = 0;
    it->first();
    while (count < limit && it->next() != icu::BreakIterator::DONE) {
        ++count;
    }
    return count;
}

QStringView Graphemes::last(QStringView text)
{
    if (text.isEmpty()) {
        return {};
    }
    if (isSimple(text)) {
        return text.last(1);
    }
    icu::BreakIterator* it = iterate(text);
    if (!it) {
        return text.last(1);
    }
    const int32_t end = it->last();
    const int32_t start = it->previous();
    return text.sliced(start, end - start);
}

bool Graphemes::hasFewerThanTwoDistinct(QStringView text)
{
    if (text.isEmpty()) {
        return true;
    }
    if (isSimple(text)) {
        const QStringView view = text;
        const char16_t first = view.at(0).unicode();
        for (qsizetype i = 1; i < view.size(); ++i) {
            const char16_t unit = view.at(i).unicode();
            // Distinct code points below U+0300 are never canonically equivalent.
            if (unit != first &&
                (std::max(unit, first) < 0x300 || !sameCharacter(view.mid(i, 1), view.first(1)))) {
                return false;
            }
        }
        return true;
    }
    icu::BreakIterator* it = iterate(text);
    if (!it) {
        return false;
    }
    const QStringView view = text;
    int32_t start = it->first();
    int32_t end = it->next();
    const QStringView first = view.mid(start, end - start);
    for (start = end, end = it->next(); end != icu::BreakIterator::DONE;
         start = end, end = it->next()) {
        if (!sameCharacter(view.mid(start, end - start), first)) {
            return false;
        }
    }
    return true;
}

} // namespace UnicodeText
