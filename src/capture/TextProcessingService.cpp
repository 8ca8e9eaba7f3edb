#include "TextProcessingService.h"

#include "UnicodeText.h"

#include <QHash>

#include <algorithm>

using namespace UnicodeText;

namespace {

const QString columnSeparator = QStringLiteral("  ");
const QString nameValueHeader = QStringLiteral("| Name | Value |\n|---|---|\n");

const Pattern& pricePattern()
{
    static const Pattern pattern(u"\\$[0-9]+\\.[0-9]+|\\$[0-9]+");
    return pattern;
}

QStringList nonBlankLines(const QString& text)
{
    QStringList lines = splitLines(text);
    lines.removeIf([](const QString& line) { return isBlank(line); });
    return lines;
}

// Tells price lines ("$3.50", "Total $12") apart from the rest.
class PriceMatcher
{
public:
    PriceMatcher() : m_matcher(pricePattern().matcher()) {}
    bool isPriceLine(const QString& line)
    {
        return m_matcher && line.contains(u'$') && contains(*m_matcher, line);
    }

private:
    std::unique_ptr<icu::RegexMatcher> m_matcher;
};

QString tableRow(const QStringList& cells)
{
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
}

QString columnTable(const QList<QStringList>& rows, qsizetype columns)
{
    // The first line is the header, as it is: it is not padded.
    QString table = tableRow(rows.first());
    table += u'|';
    for (qsizetype i = 0; i < columns; ++i) {
        table += QStringLiteral("---|");
    }
    table += u'\n';
    for (qsizetype r = 1; r < rows.size(); ++r) {
        QStringList cells = rows.at(r);
        while (cells.size() < columns) {
            cells.append(QString());
        }
        table += tableRow(cells);
    }
    return table;
}

} // namespace

bool TextProcessingService::isTableLike(const QString& text)
{
    const QStringList lines = nonBlankLines(text);
    if (lines.size() < 4) {
        return false;
    }

    QHash<qsizetype, qsizetype> linesPerCellCount;
    for (const QString& line : lines) {
        ++linesPerCellCount[splitCells(line).size()];
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
        static_cast<double>(mostFrequentLines) / static_cast<double>(lines.size()) >= 0.6) {
        return true;
    }

    // A price list read one item per line: labels and prices alternate.
    PriceMatcher prices;
    Graphemes graphemes;
    qsizetype priceLines = 0;
    qsizetype labelLines = 0;
    for (const QString& line : lines) {
        if (prices.isPriceLine(line)) {
            ++priceLines;
        } else if (graphemes.length(line, 30) < 30 && !line.contains(u' ')) {
            ++labelLines;
        }
    }
    return priceLines >= 3 && labelLines >= 3;
}

QString TextProcessingService::formatAsTable(const QString& text)
{
    const QStringList lines = nonBlankLines(text);
    if (lines.size() < 2) {
        return text;
    }

    QList<QStringList> rows;
    rows.reserve(lines.size());
    qsizetype columns = 0;
    qsizetype cells = 0;
    for (const QString& line : lines) {
        rows.append(splitCells(line));
        columns = std::max(columns, rows.back().size());
        cells += rows.back().size();
    }
    if (columns >= 2) {
        // Rows are padded to the widest one, so the table grows with lines
        // times widest line: one very wide line among many narrow ones would
        // turn 50 KB of text into hundreds of megabytes. Such text is no table.
        if ((rows.size() - 1) * columns > 4 * cells + 256) {
            return text;
        }
        return columnTable(rows, columns);
    }

    // One item per line: sort the lines into names and values. A short line
    // mentioning "cost" heads a column of values; everything after it is one.
    PriceMatcher prices;
    Graphemes graphemes;
    QStringList names;
    QStringList values;
    bool costSection = false;
    for (const QString& line : lines) {
        const bool isPrice = prices.isPriceLine(line);
        if (!costSection && graphemes.length(line, 15) < 15 && !isPrice && !line.contains(u'-') &&
            line.toLower().contains(QStringLiteral("cost"))) {
            costSection = true;
        } else if (costSection || isPrice) {
            values.append(line);
        } else if (graphemes.length(line, 50) < 50) {
            names.append(line);
        }
    }
    if (names.size() >= 3 && values.size() >= 3) {
        QString table = nameValueHeader;
        const qsizetype paired = std::min(names.size(), values.size());
        for (qsizetype i = 0; i < paired; ++i) {
            table += tableRow({names.at(i), values.at(i)});
        }
        for (qsizetype i = paired; i < names.size(); ++i) {
            table += QStringLiteral("| ") + names.at(i) + QStringLiteral(" | |\n");
        }
        for (qsizetype i = paired; i < values.size(); ++i) {
            table += QStringLiteral("| | ") + values.at(i) + QStringLiteral(" |\n");
        }
        return table;
    }

    // Otherwise neighbouring lines are taken as name and value.
    QList<std::pair<QString, QString>> pairs;
    qsizetype i = 0;
    while (i + 1 < lines.size()) {
        const QString& line = lines.at(i);
        const QString& next = lines.at(i + 1);
        if (graphemes.length(line, 30) < 30 && !line.contains(columnSeparator) && !next.isEmpty()) {
            pairs.append({line, next});
            i += 2;
        } else {
            i += 1;
        }
    }
    if (pairs.size() >= 3) {
        QString table = nameValueHeader;
        for (const auto& [name, value] : pairs) {
            table += tableRow({name, value});
        }
        return table;
    }
    return text;
}

QString TextProcessingService::finalText(const QString& recognized)
{
    return isTableLike(recognized) ? formatAsTable(recognized) : recognized;
}
