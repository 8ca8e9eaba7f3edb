#include "TextProcessingService.h"

#include "UnicodeText.h"

#include <QHash>

#include <algorithm>

using namespace UnicodeText;

namespace {

using Write = std::function<void(QStringView)>;

constexpr QStringView columnSeparator = u"  ";
constexpr QStringView nameValueHeader = u"| Name | Value |\n|---|---|\n";

const Pattern& pricePattern()
{
    static const Pattern pattern(u"\\$[0-9]+\\.[0-9]+|\\$[0-9]+");
    return pattern;
}

template <typename Visit> void forEachNonBlankLine(QStringView text, Visit&& visit)
{
    forEachLine(text, [&visit](QStringView line) {
        if (!isBlank(line)) {
            visit(line);
        }
    });
}

qsizetype cellCount(QStringView line)
{
    qsizetype cells = 0;
    forEachCell(line, [&cells](QStringView) { ++cells; });
    return cells;
}

// The matchers of one text: price lines ("$3.50", "Total $12") and lengths
// in user-perceived characters.
class Lines
{
public:
    Lines() : m_price(pricePattern().matcher()) {}
    bool isPrice(QStringView line)
    {
        return m_price && line.contains(u'$') && contains(*m_price, line);
    }
    bool shorterThan(QStringView line, qsizetype n) { return m_graphemes.length(line, n) < n; }

private:
    std::unique_ptr<icu::RegexMatcher> m_price;
    Graphemes m_graphemes;
};

void writeRow(const Write& write, QStringView first, QStringView second)
{
    write(u"| ");
    write(first);
    write(first.isEmpty() ? u"| " : u" | ");
    write(second);
    write(second.isEmpty() ? u"|\n" : u" |\n");
}

void writeColumnTable(QStringView text, qsizetype columns, const Write& write)
{
    bool header = true;
    forEachNonBlankLine(text, [&](QStringView line) {
        qsizetype cells = 0;
        forEachCell(line, [&](QStringView cell) {
            write(cells++ == 0 ? u"| " : u" | ");
            write(cell);
        });
        // The first line is the header, as it is: it is not padded.
        for (; !header && cells < columns; ++cells) {
            write(u" | ");
        }
        write(u" |\n");
        if (header) {
            header = false;
            write(u"|");
            for (qsizetype i = 0; i < columns; ++i) {
                write(u"---|");
            }
            write(u"\n");
        }
    });
}

// One item per line, sorted into names and values in one pass over the text.
// A short line mentioning "cost" heads a column of values; everything after
// it is one. A long name (50 characters or more) is dropped.
class NameValueSorter
{
public:
    enum class Kind { name, value, none };
    Kind next(QStringView line)
    {
        const bool isPrice = m_lines.isPrice(line);
        if (!m_costSection && m_lines.shorterThan(line, 15) && !isPrice && !line.contains(u'-') &&
            line.toString().toLower().contains(QStringLiteral("cost"))) {
            m_costSection = true;
            return Kind::none;
        }
        if (m_costSection || isPrice) {
            return Kind::value;
        }
        return m_lines.shorterThan(line, 50) ? Kind::name : Kind::none;
    }

private:
    Lines m_lines;
    bool m_costSection = false;
};

// Walks the non-blank lines of a text that are of one kind, one at a time.
class KindCursor
{
public:
    KindCursor(QStringView text, NameValueSorter::Kind kind) : m_rest(text), m_kind(kind) {}
    std::optional<QStringView> next()
    {
        while (!m_rest.isNull()) {
            const qsizetype end = lineEnd();
            const QStringView line = m_rest.first(end);
            m_rest = end < m_rest.size() ? m_rest.sliced(end + 1) : QStringView();
            if (!isBlank(line) && m_sorter.next(line) == m_kind) {
                return line;
            }
        }
        return std::nullopt;
    }

private:
    qsizetype lineEnd() const
    {
        for (qsizetype i = 0; i < m_rest.size(); ++i) {
            if (isNewline(m_rest[i].unicode())) {
                return i;
            }
        }
        return m_rest.size();
    }

    QStringView m_rest;
    NameValueSorter::Kind m_kind;
    NameValueSorter m_sorter;
};

// Neighbouring lines as name and value: a short line without the column
// separator, followed by a non-empty one, makes a pair.
template <typename Visit> void forEachPair(QStringView text, Visit&& visit)
{
    Lines lines;
    std::optional<QStringView> pending;
    forEachNonBlankLine(text, [&](QStringView line) {
        if (pending) {
            visit(*pending, line);
            pending.reset();
        } else if (lines.shorterThan(line, 30) && !line.contains(columnSeparator)) {
            pending = line;
        }
    });
}

bool writeTable(QStringView text, const Write& write)
{
    qsizetype lines = 0;
    qsizetype columns = 0;
    qsizetype cells = 0;
    qsizetype names = 0;
    qsizetype values = 0;
    NameValueSorter sorter;
    forEachNonBlankLine(text, [&](QStringView line) {
        ++lines;
        const qsizetype lineCells = cellCount(line);
        columns = std::max(columns, lineCells);
        cells += lineCells;
        const auto kind = sorter.next(line);
        names += kind == NameValueSorter::Kind::name;
        values += kind == NameValueSorter::Kind::value;
    });
    if (lines < 2) {
        return false;
    }
    if (columns >= 2) {
        // Rows are padded to the widest one, so the table grows with lines
        // times widest line: one very wide line among many narrow ones would
        // turn 50 KB of text into hundreds of megabytes. Such text is no table.
        if ((lines - 1) * columns > 4 * cells + 256) {
            return false;
        }
        writeColumnTable(text, columns, write);
        return true;
    }
    if (names >= 3 && values >= 3) {
        write(nameValueHeader);
        KindCursor nameCursor(text, NameValueSorter::Kind::name);
        KindCursor valueCursor(text, NameValueSorter::Kind::value);
        for (;;) {
            const auto name = nameCursor.next();
            const auto value = valueCursor.next();
            if (!name && !value) {
                return true;
            }
            writeRow(write, name.value_or(QStringView()), value.value_or(QStringView()));
        }
    }
    qsizetype pairs = 0;
    forEachPair(text, [&pairs](QStringView, QStringView) { ++pairs; });
    if (pairs < 3) {
        return false;
    }
    write(nameValueHeader);
    forEachPair(text,
                [&write](QStringView name, QStringView value) { writeRow(write, name, value); });
    return true;
}

bool isTableLikeText(QStringView text)
{
    qsizetype lines = 0;
    QHash<qsizetype, qsizetype> linesPerCellCount;
    forEachNonBlankLine(text, [&](QStringView line) {
        ++lines;
        ++linesPerCellCount[cellCount(line)];
    });
    if (lines < 4) {
        return false;
    }
    qsizetype mostFrequentCount = 0;
    qsizetype mostFrequentLines = 0;
    for (auto it = linesPerCellCount.cbegin(); it != linesPerCellCount.cend(); ++it) {
        if (it.value() > mostFrequentLines) {
            mostFrequentCount = it.key();
            mostFrequentLines = it.value();
        }
    }
    if (mostFrequentCount >= 2 &&
        static_cast<double>(mostFrequentLines) / static_cast<double>(lines) >= 0.6) {
        return true;
    }

    // A price list read one item per line: labels and prices alternate.
    Lines kinds;
    qsizetype priceLines = 0;
    qsizetype labelLines = 0;
    forEachNonBlankLine(text, [&](QStringView line) {
        if (kinds.isPrice(line)) {
            ++priceLines;
        } else if (kinds.shorterThan(line, 30) && !line.contains(u' ')) {
            ++labelLines;
        }
    });
    return priceLines >= 3 && labelLines >= 3;
}

} // namespace

bool TextProcessingService::isTableLike(const QString& text)
{
    return isTableLikeText(text);
}

QString TextProcessingService::formatAsTable(const QString& text)
{
    QString table;
    return writeTable(text, [&table](QStringView piece) { table += piece; }) ? table : text;
}

QString TextProcessingService::finalText(const QString& recognized)
{
    return isTableLike(recognized) ? formatAsTable(recognized) : recognized;
}

void TextProcessingService::writeFinalText(QStringView text, QStringView lineBreak,
                                           const std::function<void(QStringView)>& write)
{
    if (isTableLikeText(text) && writeTable(text, write)) {
        return;
    }
    for (qsizetype start = 0;;) {
        const qsizetype end = text.indexOf(u'\n', start);
        write(text.sliced(start, (end < 0 ? text.size() : end) - start));
        if (end < 0) {
            return;
        }
        write(lineBreak);
        start = end + 1;
    }
}
