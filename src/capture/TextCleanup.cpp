#include "TextCleanup.h"

#include "UnicodeText.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <string_view>

using namespace UnicodeText;

namespace {

// Interface glyphs that recognizers read around menu items, bullets and
// disclosure triangles (some are read as letters: "У", "ã", "v", "=", "¥").
// Removed only as a run at the start or end of a line that whitespace
// separates from the text.
constexpr std::u16string_view glyphs =
    u"›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥";

const Pattern& leadingGlyphPattern()
{
    static const Pattern pattern(
        u"^[›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥]+\\s+");
    return pattern;
}

const Pattern& trailingGlyphPattern()
{
    static const Pattern pattern(
        u"\\s+[›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥]+$");
    return pattern;
}

const Pattern& whitespaceRunPattern()
{
    static const Pattern pattern(u"\\s+");
    return pattern;
}

const Pattern& hyphenBreakPattern()
{
    static const Pattern pattern(u"-\\s*\\n\\s*");
    return pattern;
}

const Pattern& fileNamePattern()
{
    static const Pattern pattern(u"\\.(swift|txt|md|js|py|java|c|cpp|h|json|xml|html|css)$");
    return pattern;
}

const Pattern& citationPattern()
{
    static const Pattern pattern(u"\\[\\d+\\]");
    return pattern;
}

bool isGlyph(char16_t unit)
{
    return glyphs.find(unit) != std::u16string_view::npos;
}

// Removes the match of a pattern that can match at most once (both glyph
// patterns are anchored), searching from position from onwards.
QString removeMatch(icu::RegexMatcher& matcher, const QString& text, qsizetype from = 0)
{
    const icu::UnicodeString input = icuAlias(text);
    matcher.reset(input);
    UErrorCode status = U_ZERO_ERROR;
    matcher.region(static_cast<int32_t>(from), input.length(), status);
    if (U_FAILURE(status) || !matcher.find(status) || U_FAILURE(status)) {
        return text;
    }
    const int32_t start = matcher.start(status);
    const int32_t end = matcher.end(status);
    if (U_FAILURE(status)) {
        return text;
    }
    QString result = text.left(start);
    result += QStringView(text).mid(end);
    return result;
}

// Where a match of the trailing glyph pattern can start, or -1 when it cannot
// match. A match is the whole white-space run before the glyph run that ends
// the text ("$" also matches before one final line terminator). Searching
// from there keeps the search linear: from every position of a long run of
// spaces, ICU would scan the rest of the run again.
qsizetype trailingGlyphSearchStart(const QString& text)
{
    qsizetype end = text.size();
    if (end >= 2 && text.at(end - 2) == u'\r' && text.at(end - 1) == u'\n') {
        end -= 2;
    } else if (end >= 1 && isNewline(text.at(end - 1).unicode())) {
        end -= 1;
    }
    qsizetype pos = end;
    while (pos > 0 && isGlyph(text.at(pos - 1).unicode())) {
        --pos;
    }
    if (pos == end) {
        return -1;
    }
    while (pos > 0 && isWhiteSpaceProperty(text.at(pos - 1).unicode())) {
        --pos;
    }
    return pos;
}

// True when "\s+" -> " " would change text: a white-space character other
// than a single space.
bool needsWhitespaceCollapse(const QString& text)
{
    bool previousWasSpace = false;
    for (const QChar c : text) {
        const bool space = isWhiteSpaceProperty(c.unicode());
        if (space && (c != u' ' || previousWasSpace)) {
            return true;
        }
        previousWasSpace = space;
    }
    return false;
}

// The matchers and the grapheme iterator of one call, reused across its lines.
class Cleaner
{
public:
    Cleaner()
        : m_leading(leadingGlyphPattern().matcher()), m_trailing(trailingGlyphPattern().matcher()),
          m_whitespace(whitespaceRunPattern().matcher()), m_fileName(fileNamePattern().matcher()),
          m_citation(citationPattern().matcher())
    {
    }

    std::optional<QString> cleanLine(const QString& input);
    QString reflowParagraphs(const QString& text);
    bool shouldStartNewParagraph(const QString& line, const std::optional<QString>& previous,
                                 const QStringList& currentParagraph);

private:
    std::unique_ptr<icu::RegexMatcher> m_leading;
    std::unique_ptr<icu::RegexMatcher> m_trailing;
    std::unique_ptr<icu::RegexMatcher> m_whitespace;
    std::unique_ptr<icu::RegexMatcher> m_fileName;
    std::unique_ptr<icu::RegexMatcher> m_citation;
    Graphemes m_graphemes;
};

std::optional<QString> Cleaner::cleanLine(const QString& input)
{
    QString line = trimmed(input);
    if (line.isEmpty()) {
        return std::nullopt;
    }
    // Most lines have no glyph at either end: the matchers run only when
    // they can match.
    if (m_leading && isGlyph(line.at(0).unicode())) {
        line = removeMatch(*m_leading, line);
    }
    if (const qsizetype from = trailingGlyphSearchStart(line); m_trailing && from >= 0) {
        line = removeMatch(*m_trailing, line, from);
    }
    if (m_whitespace && needsWhitespaceCollapse(line)) {
        line = replaceAll(*m_whitespace, line, QStringLiteral(" "));
    }
    line = trimmed(line);
    if (line.isEmpty()) {
        return std::nullopt;
    }
    // Rules and single stray marks ("-----", "....", "•") go; a line of one
    // repeated letter or digit ("7", "A", "0000") is text and stays.
    if (!containsAlphanumeric(line) && m_graphemes.hasFewerThanTwoDistinct(line)) {
        return std::nullopt;
    }
    return line;
}

bool Cleaner::shouldStartNewParagraph(const QString& line, const std::optional<QString>& previous,
                                      const QStringList& currentParagraph)
{
    if (!previous || previous->isEmpty()) {
        return currentParagraph.isEmpty();
    }
    static constexpr std::array<QStringView, 5> sentenceEnds{u".", u"!", u"?", u"\"", u"'"};
    const QStringView lastCharacter = m_graphemes.last(*previous);
    const bool endsSentence =
        std::find(sentenceEnds.begin(), sentenceEnds.end(), lastCharacter) != sentenceEnds.end();
    const bool capitalised = !line.isEmpty() && u_isUUppercase(firstCodePoint(line));

    static constexpr std::array<QStringView, 7> openers{
        u"In ", u"The ", u"When ", u"Originally ", u"However,", u"Therefore,", u"According to"};
    const bool opener = std::any_of(openers.begin(), openers.end(), [&line](QStringView prefix) {
        return line.startsWith(prefix);
    });

    if (endsSentence && capitalised && (opener || m_graphemes.length(*previous, 50) < 50)) {
        return true;
    }
    return capitalised && m_citation && contains(*m_citation, *previous);
}

QString Cleaner::reflowParagraphs(const QString& text)
{
    const QStringList lines = splitLines(text);

    qsizetype nonBlank = 0;
    qsizetype totalLength = 0;
    qsizetype fileNames = 0;
    for (const QString& line : lines) {
        if (isBlank(line)) {
            continue;
        }
        ++nonBlank;
        totalLength += m_graphemes.length(line);
        if (m_fileName && line.contains(u'.') && contains(*m_fileName, line)) {
            ++fileNames;
        }
    }
    // Many short lines are a list, a menu or code: their breaks are meaningful.
    if (nonBlank >= 5 && totalLength / nonBlank <= 49) {
        return text;
    }
    if (fileNames > nonBlank / 2) {
        return text;
    }

    QStringList paragraphs;
    QStringList current;
    const auto close = [&paragraphs, &current] {
        if (!current.isEmpty()) {
            paragraphs.append(current.join(u' '));
            current.clear();
        }
    };
    std::optional<QString> previous;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            previous = trimmed(lines.at(i - 1));
        }
        const QString line = trimmed(lines.at(i));
        if (line.isEmpty()) {
            close();
            continue;
        }
        if (shouldStartNewParagraph(line, previous, current) && !current.isEmpty()) {
            close();
        }
        current.append(line);
    }
    close();
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace

namespace TextCleanup {

QString cleanRecognizedText(const QString& text)
{
    Cleaner cleaner;
    QStringList kept;
    for (const QString& line : splitLines(text)) {
        if (std::optional<QString> cleaned = cleaner.cleanLine(line)) {
            kept.append(std::move(*cleaned));
        }
    }
    QString joined = kept.join(u'\n');
    // A word broken by a hyphen at a line end is joined again.
    if (joined.contains(u'-')) {
        if (const auto matcher = hyphenBreakPattern().matcher()) {
            joined = replaceAll(*matcher, joined, QString());
        }
    }
    return cleaner.reflowParagraphs(joined);
}

std::optional<QString> cleanLine(const QString& line)
{
    return Cleaner().cleanLine(line);
}

QString reflowParagraphs(const QString& text)
{
    return Cleaner().reflowParagraphs(text);
}

bool shouldStartNewParagraph(const QString& line, const std::optional<QString>& previous,
                             const QStringList& currentParagraph)
{
    return Cleaner().shouldStartNewParagraph(line, previous, currentParagraph);
}

} // namespace TextCleanup
