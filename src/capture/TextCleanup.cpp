#include "TextCleanup.h"

#include "UnicodeText.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace TextCleanup {

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

// Removes, in place, the match of a pattern that can match at most once
// (both glyph patterns are anchored), searching from position from onwards.
void removeMatch(icu::RegexMatcher& matcher, QString& text, qsizetype from = 0)
{
    const icu::UnicodeString input = icuAlias(text);
    matcher.reset(input);
    UErrorCode status = U_ZERO_ERROR;
    matcher.region(static_cast<int32_t>(from), input.length(), status);
    if (U_FAILURE(status) || !matcher.find(status) || U_FAILURE(status)) {
        return;
    }
    const int32_t start = matcher.start(status);
    const int32_t end = matcher.end(status);
    matcher.reset();
    if (U_SUCCESS(status)) {
        text.remove(start, end - start);
    }
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

// What replacing "\s+" with " " does, in place: \s is the White_Space
// property.
void collapseWhiteSpace(QString& text)
{
    QChar* const data = text.data();
    qsizetype out = 0;
    bool inRun = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool space = isWhiteSpaceProperty(data[i].unicode());
        if (!space || !inRun) {
            data[out++] = space ? QChar(u' ') : data[i];
        }
        inRun = space;
    }
    text.truncate(out);
}

// Removes whitespace from both ends, in place.
void trim(QString& text)
{
    const QStringView kept = trimmed(QStringView(text));
    if (kept.size() != text.size()) {
        const qsizetype begin = kept.constData() - text.constData();
        text.truncate(begin + kept.size());
        text.remove(0, begin);
    }
}

} // namespace

// The matchers and the grapheme iterator of one text, reused across its lines.
class Steps
{
public:
    Steps()
        : m_leading(leadingGlyphPattern().matcher()), m_trailing(trailingGlyphPattern().matcher()),
          m_fileName(fileNamePattern().matcher()), m_citation(citationPattern().matcher())
    {
    }

    std::optional<QString> cleanLine(QString line);
    bool shouldStartNewParagraph(QStringView line, std::optional<QStringView> previous,
                                 bool paragraphEmpty);
    // Whether reflowing would destroy meaningful line breaks: a list, a menu,
    // code or a list of file names.
    bool keepsLineBreaks(QStringView text);
    // Calls visit(line, startsParagraph) for every non-blank line of text,
    // trimmed, telling whether it opens a paragraph.
    template <typename Visit> void walkParagraphs(QStringView text, Visit&& visit);

private:
    std::unique_ptr<icu::RegexMatcher> m_leading;
    std::unique_ptr<icu::RegexMatcher> m_trailing;
    std::unique_ptr<icu::RegexMatcher> m_fileName;
    std::unique_ptr<icu::RegexMatcher> m_citation;
    UnicodeText::Graphemes m_graphemes;
};

std::optional<QString> Steps::cleanLine(QString line)
{
    // Every step works in place: a line may be the whole of a large text.
    trim(line);
    if (line.isEmpty()) {
        return std::nullopt;
    }
    // Most lines have no glyph at either end: the matchers run only when
    // they can match.
    if (m_leading && isGlyph(line.at(0).unicode())) {
        removeMatch(*m_leading, line);
    }
    if (const qsizetype from = trailingGlyphSearchStart(line); m_trailing && from >= 0) {
        removeMatch(*m_trailing, line, from);
    }
    collapseWhiteSpace(line);
    trim(line);
    // Rules and single stray marks ("-----", "....", "•") go; a line of one
    // repeated letter or digit ("7", "A", "0000") is text and stays.
    if (line.isEmpty() ||
        (!containsAlphanumeric(line) && m_graphemes.hasFewerThanTwoDistinct(line))) {
        return std::nullopt;
    }
    return line;
}

bool Steps::shouldStartNewParagraph(QStringView line, std::optional<QStringView> previous,
                                    bool paragraphEmpty)
{
    if (!previous || previous->isEmpty()) {
        return paragraphEmpty;
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

bool Steps::keepsLineBreaks(QStringView text)
{
    qsizetype nonBlank = 0;
    qsizetype totalLength = 0;
    qsizetype fileNames = 0;
    forEachLine(text, [&](QStringView line) {
        if (isBlank(line)) {
            return;
        }
        ++nonBlank;
        totalLength += m_graphemes.length(line);
        if (m_fileName && line.contains(u'.') && contains(*m_fileName, line)) {
            ++fileNames;
        }
    });
    // Many short lines are a list, a menu or code: their breaks are meaningful.
    return (nonBlank >= 5 && totalLength / nonBlank <= 49) || fileNames > nonBlank / 2;
}

template <typename Visit> void Steps::walkParagraphs(QStringView text, Visit&& visit)
{
    bool paragraphEmpty = true;
    std::optional<QStringView> previous;
    forEachLine(text, [&](QStringView raw) {
        const QStringView line = trimmed(raw);
        if (line.isEmpty()) {
            paragraphEmpty = true;
        } else {
            visit(line, paragraphEmpty || shouldStartNewParagraph(line, previous, false));
            paragraphEmpty = false;
        }
        previous = line;
    });
}

LineCleaner::LineCleaner() : m_steps(std::make_unique<Steps>()) {}

LineCleaner::~LineCleaner() = default;

void LineCleaner::addLine(QString line)
{
    std::optional<QString> cleaned = m_steps->cleanLine(std::move(line));
    if (!cleaned) {
        return;
    }
    // A word broken by a hyphen at a line end is joined again. Kept lines
    // have no white space at either end, so this is exactly what replacing
    // "-\s*\n\s*" with nothing does to them joined by "\n".
    if (m_text.endsWith(u'-')) {
        m_text.chop(1);
    } else if (!m_text.isEmpty()) {
        m_text += u'\n';
    }
    if (m_text.isEmpty()) {
        m_text = std::move(*cleaned);
    } else {
        m_text += *cleaned;
    }
}

QString& LineCleaner::finish()
{
    m_paragraphs = !m_steps->keepsLineBreaks(m_text);
    if (m_paragraphs) {
        // The lines hold no blank line and no white space at their ends, so
        // the paragraphs take shape in place: a line that continues one is
        // joined to it by a space instead of its line break.
        QChar* const data = m_text.data();
        m_steps->walkParagraphs(m_text, [data](QStringView line, bool startsParagraph) {
            const qsizetype at = line.constData() - data;
            if (at > 0 && !startsParagraph) {
                data[at - 1] = u' ';
            }
        });
    }
    return m_text;
}

QString cleanRecognizedText(const QString& text)
{
    LineCleaner cleaner;
    forEachLine(text, [&cleaner](QStringView line) { cleaner.addLine(line.toString()); });
    QString& cleaned = cleaner.finish();
    return cleaner.separatesParagraphs() ? cleaned.replace(u'\n', QStringLiteral("\n\n"))
                                         : std::move(cleaned);
}

std::optional<QString> cleanLine(const QString& line)
{
    return Steps().cleanLine(line);
}

QString reflowParagraphs(const QString& text)
{
    Steps steps;
    if (steps.keepsLineBreaks(text)) {
        return text;
    }
    QString result;
    steps.walkParagraphs(text, [&result](QStringView line, bool startsParagraph) {
        if (!result.isEmpty()) {
            result += startsParagraph ? QStringView(u"\n\n") : QStringView(u" ");
        }
        result += line;
    });
    return result;
}

bool shouldStartNewParagraph(const QString& line, const std::optional<QString>& previous,
                             const QStringList& currentParagraph)
{
    return Steps().shouldStartNewParagraph(
        line, previous ? std::optional<QStringView>(*previous) : std::nullopt,
        currentParagraph.isEmpty());
}

} // namespace TextCleanup
