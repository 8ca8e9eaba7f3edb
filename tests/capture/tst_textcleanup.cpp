#include "CaseTable.h"
#include "capture/TextCleanup.h"

#include <QRandomGenerator>
#include <QSet>

#include <unicode/regex.h>

#include <map>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// "…" in a case stands for this line of 60 characters.
const QString longLine = u"This is a long first line of a paragraph that goes on and on"_s;

QString icuReplace(const QString& s, const char16_t* pattern, const char16_t* with)
{
    static std::map<const char16_t*, std::unique_ptr<icu::RegexPattern>> compiled;
    UErrorCode status = U_ZERO_ERROR;
    UParseError pe;
    auto& p = compiled[pattern];
    if (!p) {
        p.reset(icu::RegexPattern::compile(icu::UnicodeString(pattern), 0, pe, status));
    }
    const icu::UnicodeString input(reinterpret_cast<const char16_t*>(s.utf16()), int32_t(s.size()));
    std::unique_ptr<icu::RegexMatcher> m(p->matcher(input, status));
    const icu::UnicodeString out = m->replaceAll(icu::UnicodeString(with), status);
    Q_ASSERT(U_SUCCESS(status));
    return QString(reinterpret_cast<const QChar*>(out.getBuffer()), out.length());
}

// cleanLine done literally: trimming (Zs and tab), the ICU expressions over
// the whole line, then the drop rule (fewer than two distinct characters
// and no letter, mark or number; the random lines hold BMP characters only).
std::optional<QString> referenceCleanLine(const QString& line)
{
    const auto trim = [](const QString& s) {
        return icuReplace(s, u"^[\\p{Zs}\\t]+|[\\p{Zs}\\t]+\\z", u"");
    };
    QString s = icuReplace(
        trim(line), u"^[›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥]+\\s+", u"");
    s = trim(icuReplace(
        icuReplace(s, u"\\s+[›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥]+$", u""),
        u"\\s+", u" "));
    const bool alphanumeric = std::any_of(
        s.cbegin(), s.cend(), [](QChar c) { return c.isLetterOrNumber() || c.isMark(); });
    if (QSet<QChar>(s.cbegin(), s.cend()).size() < 2 && !alphanumeric) {
        return std::nullopt;
    }
    return s;
}

// Steps 1 and 2 done literally, then the paragraphs of reflowParagraphs.
QString referenceCleanRecognizedText(const QString& text)
{
    QStringList kept;
    for (const QString& line :
         icuReplace(text, u"[\\n\\u000B\\f\\r\\u0085\\u2028\\u2029]", u"\n").split(u'\n')) {
        if (const auto cleaned = referenceCleanLine(line)) {
            kept.append(*cleaned);
        }
    }
    return TextCleanup::reflowParagraphs(icuReplace(kept.join(u'\n'), u"-\\s*\\n\\s*", u""));
}

QString randomText(QRandomGenerator& random, const QStringList& pieces, int count)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        text += pieces.at(random.bounded(int(pieces.size())));
    }
    return text;
}

} // namespace

class TestTextCleanup : public QObject
{
    Q_OBJECT

private slots:
    void cleanLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected"); // empty: dropped
        // clang-format off
        addRows({u"• Item one→Item one", u"•Item→•Item", u"Settings v→Settings", u"› ▸ Item→▸ Item",
                 u"•• ⌘ Copy ⌃ ⇧→⌘ Copy ⌃", u"Удача→Удача", u"vim v1.2→vim v1.2",
                 u"a\u00A0\u00A0b\u3000c→a b c", u"◆ Item ★→◆ Item ★", u"a\u0303 Item→a\u0303 Item",
                 u"👍 ok→👍 ok", u"ab→ab", u"0000→0000", u"1111→1111", u"7→7", u"A→A", u"ã ã→ã",
                 u"e\u0301e\u0301→e\u0301e\u0301", u"→", u" \t\u3000 →", u"-----→", u"=====→",
                 u"....→", u"• •→", u";\u037E→", u"👍👍👍→", u"🇩🇪→", u"👨\u200D👩\u200D👧→"});
        // clang-format on
        for (const QChar glyph : u"›•▸▾▴◂УЎ⌘⌥⇧⌃⏵⏴▶▼≡☰ãv=¥"_s) {
            QTest::addRow("%s", qPrintable(QString(glyph)))
                << glyph + u" Item "_s + glyph << u"Item"_s;
        }
        // Runs this long overflow ICU's default backtracking stack.
        const QString spaces(1000000, u' ');
        QTest::newRow("spaces") << u"• "_s + spaces + u"a b"_s + spaces + u'•' << u"a b"_s;
    }

    void cleanLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        const std::optional<QString> cleaned = TextCleanup::cleanLine(line);
        QCOMPARE(cleaned.value_or(QString()), expected);
        QCOMPARE(cleaned.has_value(), !expected.isEmpty());
    }

    // Random lines over glyphs, every kind of white space and line
    // terminator, then random texts of such pieces: the clean-up gives what
    // the ICU expressions give.
    void agreesWithRegularExpressions()
    {
        QRandomGenerator random(20240607);
        const QStringList chars = u"ab- \t\n\r\u3000\u2029\u0085\u000B•vУ="_s.split(QString());
        for (int i = 0; i < 20000; ++i) {
            const QString line = randomText(random, chars, random.bounded(12));
            QVERIFY2(TextCleanup::cleanLine(line) == referenceCleanLine(line),
                     line.toUtf8().toPercentEncoding().constData());
        }
        const QStringList pieces = u"word |The |long sentence goes on |end. |hyph-|-|\n|\r\n|"
                                   u"\n\n| \t|• | v|[12] |In |notes.txt|7"_s.split(u'|');
        for (int i = 0; i < 3000; ++i) {
            const QString text = randomText(random, pieces, random.bounded(40));
            QVERIFY2(TextCleanup::cleanRecognizedText(text) == referenceCleanRecognizedText(text),
                     text.toUtf8().toPercentEncoding().constData());
        }
    }

    void reflowParagraphs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "=": unchanged
        // Five or more lines averaging at most 49 characters keep their
        // breaks, as does a list of file names; anything else is reflowed.
        // clang-format off
        addRows({u"Apples\nBananas\nCherries\nDates\nElderberries\nFigs→=",
                 u"one\ntwo\nthree→one two three",
                 u"first\nstill first\n\n \n\t\nsecond→first still first\n\nsecond",
                 u"  leading\ttrailing \t\n\tnext→leading\ttrailing next", u"a b\u2028c d→a b c d",
                 u"first\r\nsecond→first\n\nsecond", u" \n\t\n\u3000→",
                 u"…\nand it continues here.\n"
                 u"The next paragraph starts here.→… and it continues here.\n\n"
                 u"The next paragraph starts here.",
                 u"index.html\nREADME.md\nnotes.txt\nThis prose line keeps the average long.→=",
                 u"index.html\nREADME.md\nsome prose\nmore→index.html README.md some prose more",
                 u"a.TXT\nb.TXT\nc.TXT\nd→a.TXT b.TXT c.TXT d",
                 u"a.txt \nb.txt \nc.txt \nd→a.txt b.txt c.txt d"});
        // clang-format on
        const QString x49(49, u'x');
        const QString x50(50, u'x');
        QTest::newRow("49") << QStringList{x49, x50, x50, x50, x50}.join(u'\n') << u"="_s;
        QTest::newRow("50") << QStringList(5, x50).join(u'\n') << QStringList(5, x50).join(u' ');
        QTest::newRow("marks") << QStringList(5, u"e\u0301"_s.repeated(30)).join(u'\n') << u"="_s;
        QTest::newRow("zwj") << QStringList(5, u"👨\u200D👩\u200D👧 "_s.repeated(10)).join(u'\n')
                             << u"="_s;
    }

    void reflowParagraphs()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        text.replace(u'…', longLine);
        expected.replace(u'…', longLine);
        QCOMPARE(TextCleanup::reflowParagraphs(text), expected == u"="_s ? text : expected);
    }

    void shouldStartNewParagraph_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("previous"); // "∅": none
        QTest::addColumn<QString>("paragraphLines");
        QTest::addColumn<QString>("expected");
        // clang-format off
        addRows({u"Next→∅→0→1", u"Next→∅→1→0", u"Next→→2→0", u"Next→Done.→1→1", u"Next→Done!→1→1",
                 u"Next→Done?→1→1", u"Next→Done\"→1→1", u"Next→Done'→1→1", u"Next→Done”→1→0",
                 u"Next→Done.\u0301→1→0", u"next→Done.→1→0", u"2024→Done.→1→0", u"Élan→Done.→1→1",
                 u"Привет→Done.→1→1", u"Next→… end.→1→0", u"In a→… end.→1→1", u"The a→… end.→1→1",
                 u"When a→… end.→1→1", u"Originally a→… end.→1→1", u"However, a→… end.→1→1",
                 u"Therefore, a→… end.→1→1", u"According to→… end.→1→1", u"The next→…→1→0",
                 u"Inside→… end.→1→0", u"However we→… end.→1→0", u"Next→… [12] and more→1→1",
                 u"next→… [12] and more→1→0", u"Next→… [\u0661\u0662]→1→1", u"Next→… [a]→1→0",
                 u"Next→… []→1→0"});
        // clang-format on
        // The previous line's length counts characters, below 50.
        QTest::newRow("49") << u"Next"_s << QString(48, u'x') + u'.' << u"1"_s << u"1"_s;
        QTest::newRow("50") << u"Next"_s << QString(49, u'x') + u'.' << u"1"_s << u"0"_s;
        QTest::newRow("marks") << u"Next"_s << u"e\u0301"_s.repeated(48) + u'.' << u"1"_s << u"1"_s;
    }

    void shouldStartNewParagraph()
    {
        QFETCH(QString, line);
        QFETCH(QString, previous);
        QFETCH(QString, paragraphLines);
        QFETCH(QString, expected);
        const auto prev =
            previous == u"∅"_s ? std::nullopt : std::optional(previous.replace(u'…', longLine));
        QCOMPARE(TextCleanup::shouldStartNewParagraph(
                     line, prev, QStringList(paragraphLines.toInt(), u"line"_s)),
                 expected == u"1"_s);
    }

    // The compiled patterns are shared; every call must still work on its own.
    void concurrentCalls()
    {
        const QString input =
            (u"• Item\n"_s + longLine + u" [1]\nThe next is hyph-\nated.\n\n"_s).repeated(500);
        const QString expected = TextCleanup::cleanRecognizedText(input);
        QString results[4];
        std::vector<std::thread> threads;
        for (QString& result : results) {
            threads.emplace_back([&] { result = TextCleanup::cleanRecognizedText(input); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        QCOMPARE(QStringList(std::begin(results), std::end(results)), QStringList(4, expected));
    }
};

QTEST_APPLESS_MAIN(TestTextCleanup)
#include "tst_textcleanup.moc"
