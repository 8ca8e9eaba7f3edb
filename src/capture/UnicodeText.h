#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <unicode/brkiter.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>

#include <limits>
#include <memory>

// Unicode helpers shared by the text clean-up and the table detection. They
// define "whitespace", "line" and "character" the same way for both.
namespace UnicodeText {

// These run once per character of large texts: inline, with ASCII fast paths.

// Space separators (Zs) and tab. Newlines are not whitespace here.
inline bool isWhitespace(char16_t unit)
{
    if (unit < 0x80) {
        return unit == u' ' || unit == u'\t';
    }
    return u_charType(unit) == U_SPACE_SEPARATOR;
}

// U+000A..U+000D, U+0085, U+2028, U+2029: where lines split, and what ICU
// treats as a line terminator for "$".
inline bool isNewline(char16_t unit)
{
    return (unit >= 0x0A && unit <= 0x0D) || unit == 0x85 || unit == 0x2028 || unit == 0x2029;
}

// The Unicode White_Space property: whitespace plus newlines, exactly the set
// that "\s" matches in ICU regular expressions. Every member is in the BMP.
inline bool isWhiteSpaceProperty(char16_t unit)
{
    if (unit < 0x80) {
        return unit == u' ' || (unit >= 0x09 && unit <= 0x0D);
    }
    return u_isUWhiteSpace(unit);
}
// Letters, marks and numbers (L*, M*, N*).
bool isAlphanumeric(char32_t codePoint);

// Removes whitespace from both ends.
QString trimmed(const QString& text);
QStringView trimmed(QStringView text);
bool isBlank(QStringView text);

// Calls visit with every line of text, split at each newline character
// ("\r\n" yields an empty line between), without copying.
template <typename Visit> void forEachLine(QStringView text, Visit&& visit)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNewline(text[i].unicode())) {
            visit(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    visit(text.sliced(start));
}

// Calls visit with every cell of a line: the pieces between two-space
// separators, trimmed, empty ones skipped.
template <typename Visit> void forEachCell(QStringView line, Visit&& visit)
{
    while (!line.isEmpty()) {
        const qsizetype separator = line.indexOf(u"  ");
        const QStringView cell = trimmed(separator < 0 ? line : line.first(separator));
        if (!cell.isEmpty()) {
            visit(cell);
        }
        line = separator < 0 ? QStringView() : line.sliced(separator + 2);
    }
}

char32_t firstCodePoint(QStringView text);
bool containsAlphanumeric(QStringView text);

// A view of a string for ICU. The string must outlive the view.
icu::UnicodeString icuAlias(QStringView text);

// An ICU regular expression compiled once. The compiled pattern is immutable
// and shared between threads; every caller gets its own matcher. Matchers have
// no backtracking stack limit: ICU's default (8 MB) makes a match over a run
// of about a million spaces fail, which would silently skip the replacement.
class Pattern
{
public:
    explicit Pattern(const char16_t* pattern);
    std::unique_ptr<icu::RegexMatcher> matcher() const;

private:
    std::unique_ptr<icu::RegexPattern> m_pattern;
};

// True when the pattern matches anywhere in text.
bool contains(icu::RegexMatcher& matcher, QStringView text);

// Counts and compares user-perceived characters (extended grapheme clusters).
// Text whose code units all have the grapheme-cluster-break class Other or
// Control (no marks, joiners, Hangul jamo, surrogates or CR) has one
// character per code unit and is handled without the break iterator, which
// is several times slower. One instance per thread.
class Graphemes
{
public:
    Graphemes();
    ~Graphemes();
    Graphemes(const Graphemes&) = delete;
    Graphemes& operator=(const Graphemes&) = delete;

    // The number of characters, counting no further than limit.
    qsizetype length(QStringView text, qsizetype limit = std::numeric_limits<qsizetype>::max());
    QStringView last(QStringView text);
    // True when text holds fewer than two distinct characters.
    bool hasFewerThanTwoDistinct(QStringView text);

private:
    icu::BreakIterator* iterate(QStringView text);

    std::unique_ptr<icu::BreakIterator> m_iterator;
    UText m_text = UTEXT_INITIALIZER;
};

} // namespace UnicodeText
