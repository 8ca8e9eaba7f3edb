#include "capture/TextCleanup.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

#include <unicode/regex.h>

#include <memory>
#include <thread>
#include <vector>

using TextCleanup::cleanLine;
using TextCleanup::cleanRecognizedText;
using TextCleanup::reflowParagraphs;
using TextCleanup::shouldStartNewParagraph;

namespace {

QString repeated(const QString& piece, qsizetype times)
{
    return piece.repeated(times);
}

const QString longLine =
    QStringLiteral("This is a long first line of a paragraph that goes on and on");

// cleanLine's steps 1-5 done literally with ICU over the whole line, to check
// the clean-up against the regular expressions it stands for.
QString referenceCleanLine(const QString& line)
{
    const auto trim = [](QString s) {
        const auto ws = [](QChar c) {
            return c == u'\t' || c.category() == QChar::Separator_Space;
        };
        while (!s.isEmpty() && ws(s.front())) {
            s.remove(0, 1);
        }
        while (!s.isEmpty() && ws(s.back())) {
            s.chop(1);
        }
        return s;
    };
    const auto replace = [](const QString& s, const char16_t* pattern, const char16_t* with) {
        UErrorCode status = U_ZERO_ERROR;
        UParseError pe;
        std::unique_ptr<icu::RegexPattern> p(
            icu::RegexPattern::compile(icu::UnicodeString(pattern), 0, pe, status));
        const icu::UnicodeString input(reinterpret_cast<const char16_t*>(s.utf16()),
                                       static_cast<int32_t>(s.size()));
        std::unique_ptr<icu::RegexMatcher> m(p->matcher(input, status));
        const icu::UnicodeString out = m->replaceAll(icu::UnicodeString(with), status);
        Q_ASSERT(U_SUCCESS(status));
        return QString(reinterpret_cast<const QChar*>(out.getBuffer()), out.length());
    };
    QString s = trim(line);
    s = replace(s, u"^[›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥]+\\s+", u"");
    s = replace(s, u"\\s+[›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥]+$", u"");
    s = replace(s, u"\\s+", u" ");
    return trim(s);
}

} // namespace

class TestTextCleanup : public QObject
{
    Q_OBJECT

private slots:
    void cleanLine_data();
    void cleanLine();
    void cleanLineAgreesWithRegularExpressions();
    void reflowParagraphs_data();
    void reflowParagraphs();
    void shouldStartNewParagraph_data();
    void shouldStartNewParagraph();
    void cleanRecognizedText_data();
    void cleanRecognizedText();
    void largeInput();
    void concurrentCalls();
};

void TestTextCleanup::cleanLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QString>("expected");

    const auto keep = [](const char* tag, const QString& line, const QString& expected) {
        QTest::newRow(tag) << line << false << expected;
    };
    const auto drop = [](const char* tag, const QString& line) {
        QTest::newRow(tag) << line << true << QString();
    };

    keep("bullet", QStringLiteral("• Item one"), QStringLiteral("Item one"));
    keep("glyph without space stays", QStringLiteral("•Item"), QStringLiteral("•Item"));
    keep("trailing disclosure v", QStringLiteral("Settings v"), QStringLiteral("Settings"));
    keep("two characters", QStringLiteral("ab"), QStringLiteral("ab"));
    // A PIN or a grade on its own line is text.
    keep("single letter", QStringLiteral("A"), QStringLiteral("A"));
    keep("single digit", QStringLiteral("7"), QStringLiteral("7"));
    keep("repeated digit", QStringLiteral("0000"), QStringLiteral("0000"));
    keep("repeated ones", QStringLiteral("1111"), QStringLiteral("1111"));
    keep("letter left after removal", QStringLiteral("ã ã"), QStringLiteral("ã"));
    keep("repeated decomposed", repeated(QStringLiteral("e\u0301"), 4),
         repeated(QStringLiteral("e\u0301"), 4));
    keep("only the first run", QStringLiteral("› ▸ Item"), QStringLiteral("▸ Item"));
    keep("runs at both ends", QStringLiteral("•• ⌘ Copy ⌃ ⇧"), QStringLiteral("⌘ Copy ⌃"));
    keep("cyrillic U glyph", QStringLiteral("У Downloads"), QStringLiteral("Downloads"));
    keep("cyrillic word starting with U", QStringLiteral("Удача"), QStringLiteral("Удача"));
    keep("v word", QStringLiteral("v vim"), QStringLiteral("vim"));
    keep("v inside word", QStringLiteral("vim v1.2"), QStringLiteral("vim v1.2"));
    keep("yen", QStringLiteral("¥ 100"), QStringLiteral("100"));
    keep("tabs trimmed and glyph", QStringLiteral("\t• \tItem\t"), QStringLiteral("Item"));
    keep("whitespace collapsed", QStringLiteral("a    b\t\tc"), QStringLiteral("a b c"));
    keep("no-break spaces", QStringLiteral("a\u00A0\u00A0b\u3000c"), QStringLiteral("a b c"));
    keep("ideographic space before glyph", QStringLiteral("Item\u3000•"), QStringLiteral("Item"));
    keep("line terminator at end", QStringLiteral("Item •\n"), QStringLiteral("Item"));
    keep("crlf at end", QStringLiteral("Item •\r\n"), QStringLiteral("Item"));
    keep("two distinct symbols", QStringLiteral(". ."), QStringLiteral(". ."));
    keep("two digits", QStringLiteral("12"), QStringLiteral("12"));
    keep("different accents", QStringLiteral("\u00E9e"), QStringLiteral("\u00E9e"));
    keep("emoji with word", QStringLiteral("👍 ok"), QStringLiteral("👍 ok"));
    // Runs this long overflow ICU's default backtracking stack.
    const QString spaces(1000000, u' ');
    keep("million spaces", u'a' + spaces + u'b', QStringLiteral("a b"));
    keep("million spaces around glyphs",
         QStringLiteral("• ") + spaces + QStringLiteral("ab") + spaces + u'•',
         QStringLiteral("ab"));

    for (const QChar glyph :
         QStringLiteral("›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥")) {
        const QByteArray tag = QString(glyph).toUtf8();
        keep(("leading " + tag).constData(), glyph + QStringLiteral(" Item"), u"Item"_s);
        keep(("trailing " + tag).constData(), QStringLiteral("Item ") + glyph, u"Item"_s);
    }
    keep("other symbols stay", QStringLiteral("◆ Item ★"), QStringLiteral("◆ Item ★"));
    keep("decomposed a tilde is no glyph", QStringLiteral("a\u0303 Item"),
         QStringLiteral("a\u0303 Item"));

    drop("empty", QString());
    drop("blank", QStringLiteral(" \t\u3000 "));
    drop("dashes", QStringLiteral("-----"));
    drop("equals", QStringLiteral("====="));
    drop("dots", QStringLiteral("...."));
    drop("glyph run only", QStringLiteral("• •"));
    drop("glyph left after removal", QStringLiteral("= ="));
    drop("canonically equal", QStringLiteral(";\u037E"));
    drop("emoji", QStringLiteral("👍"));
    drop("repeated emoji", QStringLiteral("👍👍👍"));
    drop("flag", QStringLiteral("🇩🇪"));
    drop("zwj family", QStringLiteral("👨\u200D👩\u200D👧"));
}

void TestTextCleanup::cleanLine()
{
    QFETCH(QString, line);
    QFETCH(bool, dropped);
    QFETCH(QString, expected);

    const std::optional<QString> result = TextCleanup::cleanLine(line);
    QCOMPARE(!result.has_value(), dropped);
    if (result) {
        QCOMPARE(*result, expected);
    }
}

// Random lines over glyphs, every kind of white space and line terminator:
// the clean-up must give what the ICU expressions give on the whole line.
void TestTextCleanup::cleanLineAgreesWithRegularExpressions()
{
    const QString alphabet = QStringLiteral("ab- \t\n\r\u3000\u2029\u0085\u000B•vУ=");
    QRandomGenerator random(20240607);
    for (int i = 0; i < 20000; ++i) {
        QString line;
        const int length = random.bounded(12);
        for (int j = 0; j < length; ++j) {
            line += alphabet.at(random.bounded(alphabet.size()));
        }
        const QString reference = referenceCleanLine(line);
        QSet<QChar> distinct(reference.cbegin(), reference.cend());
        const bool alphanumeric =
            std::any_of(reference.cbegin(), reference.cend(),
                        [](QChar c) { return c.isLetterOrNumber() || c.isMark(); });
        const bool referenceDrops = distinct.size() < 2 && !alphanumeric;
        const std::optional<QString> result = TextCleanup::cleanLine(line);
        if (referenceDrops) {
            QVERIFY2(!result, line.toUtf8().toPercentEncoding().constData());
        } else {
            QVERIFY2(result, line.toUtf8().toPercentEncoding().constData());
            QCOMPARE(*result, reference);
        }
    }
}

void TestTextCleanup::reflowParagraphs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString shortLines =
        QStringLiteral("Apples\nBananas\nCherries\nDates\nElderberries\nFigs");
    QTest::newRow("six short lines keep breaks") << shortLines << shortLines;

    const QString x49 = QString(49, u'x');
    const QString x50 = QString(50, u'x');
    const QString fiveAt49 = QStringList(5, x49).join(u'\n');
    QTest::newRow("average 49 is a list") << fiveAt49 << fiveAt49;
    QTest::newRow("average 50 is prose")
        << QStringList(5, x50).join(u'\n') << QStringList(5, x50).join(u' ');
    // 49 + 4 * 50 = 249, truncated average 49.
    const QString truncated = QStringList{x49, x50, x50, x50, x50}.join(u'\n');
    QTest::newRow("average truncated") << truncated << truncated;

    const QString decomposed = QStringList(5, repeated(QStringLiteral("e\u0301"), 30)).join(u'\n');
    QTest::newRow("combining marks count once") << decomposed << decomposed;
    const QString emoji = QStringList(5, repeated(QStringLiteral("👍"), 30)).join(u'\n');
    QTest::newRow("emoji count once") << emoji << emoji;
    const QString family =
        QStringList(5, repeated(QStringLiteral("👨\u200D👩\u200D👧 "), 10)).join(u'\n');
    QTest::newRow("zwj sequences count once") << family << family;

    QTest::newRow("fewer than five short lines")
        << QStringLiteral("one\ntwo\nthree") << QStringLiteral("one two three");
    QTest::newRow("blank lines separate paragraphs")
        << QStringLiteral("first paragraph\nstill first\n\n \n\t\nsecond paragraph")
        << QStringLiteral("first paragraph still first\n\nsecond paragraph");
    QTest::newRow("lines are trimmed") << QStringLiteral("  leading\ttrailing \t\n\tnext")
                                       << QStringLiteral("leading\ttrailing next");
    QTest::newRow("unicode line separator")
        << QStringLiteral("a b\u2028c d") << QStringLiteral("a b c d");
    QTest::newRow("crlf leaves an empty line between")
        << QStringLiteral("first line\r\nsecond line")
        << QStringLiteral("first line\n\nsecond line");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("only blank lines") << QStringLiteral(" \n\t\n\u3000") << QString();

    QTest::newRow("capital after sentence end")
        << longLine + QStringLiteral("\nand it continues here.\nThe next paragraph starts here.")
        << longLine + QStringLiteral(" and it continues here.\n\nThe next paragraph starts here.");

    const QString files = QStringLiteral(
        "index.html\nREADME.md\nnotes.txt\nThis prose line is here to keep the average long.");
    QTest::newRow("file list") << files << files;
    QTest::newRow("half file names is not a list")
        << QStringLiteral("index.html\nREADME.md\nsome prose here\nmore prose")
        << QStringLiteral("index.html README.md some prose here more prose");
    QTest::newRow("file extensions are case-sensitive")
        << QStringLiteral("a.TXT\nb.TXT\nc.TXT\nd line")
        << QStringLiteral("a.TXT b.TXT c.TXT d line");
    QTest::newRow("file name must end the line") << QStringLiteral("a.txt \nb.txt \nc.txt \nd line")
                                                 << QStringLiteral("a.txt b.txt c.txt d line");
}

void TestTextCleanup::reflowParagraphs()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextCleanup::reflowParagraphs(text), expected);
}

void TestTextCleanup::shouldStartNewParagraph_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("hasPrevious");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<int>("paragraphLines");
    QTest::addColumn<bool>("expected");

    const QString prevLong = longLine + QStringLiteral(" end."); // 65 characters
    const QString prev49 = QString(48, u'x') + u'.';
    const QString prev50 = QString(49, u'x') + u'.';

    QTest::newRow("first line, empty paragraph") << u"Next"_s << false << QString() << 0 << true;
    QTest::newRow("first line, paragraph has lines")
        << u"Next"_s << false << QString() << 1 << false;
    QTest::newRow("after blank line") << u"Next"_s << true << QString() << 2 << false;
    QTest::newRow("short sentence then capital") << u"Next"_s << true << u"Done."_s << 1 << true;
    for (const char* end : {"!", "?", "\"", "'"}) {
        QTest::addRow("sentence end %s", end)
            << u"Next"_s << true << QStringLiteral("Done") + QString::fromLatin1(end) << 1 << true;
    }
    QTest::newRow("typographic quote is no sentence end")
        << u"Next"_s << true << QStringLiteral("Done”") << 1 << false;
    QTest::newRow("dot with combining mark")
        << u"Next"_s << true << QStringLiteral("Done.\u0301") << 1 << false;
    QTest::newRow("lower case continues") << u"next"_s << true << u"Done."_s << 1 << false;
    QTest::newRow("digit is not a capital") << u"2024"_s << true << u"Done."_s << 1 << false;
    QTest::newRow("accented capital") << QStringLiteral("Élan") << true << u"Done."_s << 1 << true;
    QTest::newRow("cyrillic capital")
        << QStringLiteral("Привет") << true << u"Done."_s << 1 << true;
    QTest::newRow("previous 49 characters") << u"Next"_s << true << prev49 << 1 << true;
    QTest::newRow("previous 50 characters") << u"Next"_s << true << prev50 << 1 << false;
    QTest::newRow("previous 49 characters with marks")
        << u"Next"_s << true << repeated(QStringLiteral("e\u0301"), 48) + u'.' << 1 << true;
    QTest::newRow("long previous, plain capital") << u"Next"_s << true << prevLong << 1 << false;
    for (const char* opener : {"In a", "The a", "When a", "Originally a", "However, a",
                               "Therefore, a", "According to"}) {
        QTest::addRow("opener %s", opener)
            << QString::fromLatin1(opener) << true << prevLong << 1 << true;
    }
    QTest::newRow("opener needs sentence end") << u"The next"_s << true << longLine << 1 << false;
    QTest::newRow("Inside is no opener") << u"Inside"_s << true << prevLong << 1 << false;
    QTest::newRow("However without comma") << u"However we"_s << true << prevLong << 1 << false;
    QTest::newRow("citation then capital")
        << u"Next"_s << true << longLine + QStringLiteral(" [12] and more") << 1 << true;
    QTest::newRow("citation then lower case")
        << u"next"_s << true << longLine + QStringLiteral(" [12] and more") << 1 << false;
    QTest::newRow("citation with arabic-indic digits")
        << u"Next"_s << true << longLine + QStringLiteral(" [\u0661\u0662]") << 1 << true;
    QTest::newRow("brackets without number")
        << u"Next"_s << true << longLine + QStringLiteral(" [a]") << 1 << false;
    QTest::newRow("empty brackets")
        << u"Next"_s << true << longLine + QStringLiteral(" []") << 1 << false;
}

void TestTextCleanup::shouldStartNewParagraph()
{
    QFETCH(QString, line);
    QFETCH(bool, hasPrevious);
    QFETCH(QString, previous);
    QFETCH(int, paragraphLines);
    QFETCH(bool, expected);

    const std::optional<QString> prev = hasPrevious ? std::optional(previous) : std::nullopt;
    const QStringList paragraph(paragraphLines, QStringLiteral("line"));
    QCOMPARE(TextCleanup::shouldStartNewParagraph(line, prev, paragraph), expected);
}

void TestTextCleanup::cleanRecognizedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hyphenated word") << u"recog-\nnition"_s << u"recognition"_s;
    QTest::newRow("hyphen with spaces") << u"well- \n  known"_s << u"wellknown"_s;
    QTest::newRow("hyphen before blank lines") << u"recog-\n\n \nnition"_s << u"recognition"_s;
    QTest::newRow("hyphen and crlf") << u"recog-\r\nnition"_s << u"recognition"_s;
    QTest::newRow("dash list is no hyphenation") << u"- Milk\n- Eggs\n- Bread\n- Flour\n- Sugar"_s
                                                 << u"- Milk\n- Eggs\n- Bread\n- Flour\n- Sugar"_s;
    QTest::newRow("crlf inside a paragraph")
        << longLine + QStringLiteral("\r\nand it continues here.")
        << longLine + QStringLiteral(" and it continues here.");
    QTest::newRow("paragraphs")
        << longLine + QStringLiteral("\nand it continues here.\nThe next paragraph starts here.")
        << longLine + QStringLiteral(" and it continues here.\n\nThe next paragraph starts here.");
    QTest::newRow("bullet list") << QStringLiteral(
                                        "• Milk\n• Eggs\n• Bread\n• Butter\n• Cheese\n-----")
                                 << QStringLiteral("Milk\nEggs\nBread\nButter\nCheese");
    QTest::newRow("cyrillic U glyph list")
        << QStringLiteral("У Downloads\nУ Documents\nУ Pictures\nУ Music\nУ Movies")
        << QStringLiteral("Downloads\nDocuments\nPictures\nMusic\nMovies");
    QTest::newRow("few menu lines are joined")
        << QStringLiteral("Settings v\nHistory ⌘\n≡") << QStringLiteral("Settings History");
    QTest::newRow("citation starts a paragraph")
        << QStringLiteral("Long text of a scientific article that mentions this fact [12]\n"
                          "Another sentence starts here")
        << QStringLiteral("Long text of a scientific article that mentions this fact [12]\n\n"
                          "Another sentence starts here");
    QTest::newRow("tabs")
        << QStringLiteral("\tIndented\twith\ttabs and more words to make this a long line\n")
        << QStringLiteral("Indented with tabs and more words to make this a long line");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blank") << QStringLiteral(" \n\t\r\n") << QString();
    QTest::newRow("only noise") << QStringLiteral("-----\n•\n....\n=====") << QString();
}

void TestTextCleanup::cleanRecognizedText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextCleanup::cleanRecognizedText(text), expected);
}

// A megabyte of prose: every paragraph comes back whole, its hyphenated
// words joined. (Speed is measured by bench_tidy, not asserted here.)
void TestTextCleanup::largeInput()
{
    const QStringList words =
        QStringLiteral("screen region text recognition clipboard history capture "
                       "settings keyboard shortcut window toolbar contrast résumé текст")
            .split(u' ');
    QString input;
    QStringList paragraphs;
    int w = 0;
    while (input.size() < 1024 * 1024) {
        QStringList lines;
        QString paragraph = QStringLiteral("The");
        QString line = paragraph;
        for (int l = 0; l < 8; ++l) {
            for (int k = 0; k < 9; ++k) {
                const QString& word = words.at(w++ % words.size());
                paragraph += u' ' + word;
                line += u' ' + word;
            }
            // Break one word across the line end with a hyphen.
            const QString& split = words.at(w++ % words.size());
            paragraph += u' ' + split;
            lines.append(line + u' ' + split.left(3) + u'-');
            line = split.mid(3);
        }
        lines.append(line + u'.');
        paragraph += u'.';
        paragraphs.append(paragraph);
        input += lines.join(u'\n') + QStringLiteral("\n\n");
    }
    QCOMPARE(TextCleanup::cleanRecognizedText(input), paragraphs.join(QStringLiteral("\n\n")));
}

// The compiled patterns are shared; every call must still work on its own.
void TestTextCleanup::concurrentCalls()
{
    QString input;
    for (int i = 0; i < 500; ++i) {
        input += QStringLiteral("• Item %1\n").arg(i) + longLine +
                 QStringLiteral(" [%1]\n").arg(i) +
                 QStringLiteral("The next one is hyphen-\nated here.\n\n");
    }
    const QString expected = TextCleanup::cleanRecognizedText(input);
    std::vector<QString> results(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&input, &results, t] {
            for (int run = 0; run < 5; ++run) {
                results[t] = TextCleanup::cleanRecognizedText(input);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const QString& result : results) {
        QCOMPARE(result, expected);
    }
}

QTEST_APPLESS_MAIN(TestTextCleanup)
#include "tst_textcleanup.moc"
