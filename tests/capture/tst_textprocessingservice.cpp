#include "CaseTable.h"
#include "capture/TextProcessingService.h"

using namespace Qt::StringLiterals;

namespace {

const QString decomposed = u"e\u0301"_s.repeated(29); // 29 characters in 58 code units

QString lines(const QStringList& list)
{
    return list.join(u'\n');
}

} // namespace

class TestTextProcessingService : public QObject
{
    Q_OBJECT

private slots:
    void isTableLike_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        // Columns: 4+ lines, 60 % of them with one count of 2+ cells. Else a
        // price list: 3+ lines with a price, 3+ short labels without spaces.
        // clang-format off
        addRows({u"Name  Price  Qty\nApple  1.00  3\nPear  2.00  4\nPlum  0.50  10→1",
                 u"a  b  c\nd  e  f\ng  h  i→0", u"a  b  c\n\nd  e  f\n \ng  h  i\n→0", u"→0",
                 u"\n \n\t\n\n→0", u"a b  c d\ne f  g h\ni j  k l\nsingle one\nsingle two→1",
                 u"a b  c d\ne f  g h\ni j  k l\nm n  o p\nsingle\nsingle two\nsingle three→0",
                 u"a b  c\nd e  f\ng  h  i\nj  k  l→0", u"a\tb\tc\nd\te\tf\ng\th\ti\nj\tk\tl→0",
                 u"a   b   c\nd   e   f\ng   h   i\nj   k   l→1",
                 u"one line of prose\nanother line\nand a third\nand a fourth→0",
                 u"Coffee\n\n$3.50\n \nTea\n$2.00\n\t\nCake\n$4.25→1",
                 u"$5\nTea\nCake\nPie\n$3\n$4→1",
                 u"Coffee large $3.50\nTea\nSmall tea $2\nCake\nPie\nSlice $4→1",
                 u"Coffee\n$3.50\nTea\n$2.00\n$4.25→0", u"Coffee\n$3.50\nTea\n$2.00\nCake\nPie→0",
                 u"Iced tea\n$3\nHot tea\n$2\nCake\n$4→0", u"Tea\n$.50\nCake\n5$\nPie\n$\u0663→0"});
        // clang-format on
        for (const QString& label : {QString(29, u'x'), QString(30, u'x'), decomposed}) {
            QTest::addRow("labels of %d", int(label.size()))
                << lines({label, u"$1"_s, label, u"$2"_s, label, u"$3"_s})
                << (label.size() == 30 ? u"0"_s : u"1"_s);
        }
    }

    void isTableLike()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(TextProcessingService::isTableLike(text), expected == u"1"_s);
    }

    void formatAsTable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "=": unchanged; "§": the name/value header
        addRows(
            {u"→=", u"Coffee  $3.50→=", u"\n Coffee \n\n→=",
             u"Coffee\n$3.50\nTea\n$2.00\nCake\n$4.25→§| Coffee | $3.50 |\n| Tea | $2.00 |\n"
             u"| Cake | $4.25 |\n",
             u"Name  Price\nApple  1.00\nPear  2.00→| Name | Price |\n|---|---|\n"
             u"| Apple | 1.00 |\n| Pear | 2.00 |\n",
             // The header row is not padded, the others are; cells are trimmed, not escaped.
             u"a  b\n1  2  3\n4→| a | b |\n|---|---|---|\n| 1 | 2 | 3 |\n| 4 |  |  |\n",
             u"a|b  c\nd  *e*→| a|b | c |\n|---|---|\n| d | *e* |\n",
             u" a \t  b\nc  d →| a | b |\n|---|---|\n| c | d |\n",
             // A short line mentioning "cost" heads the values.
             u"Item\nCoffee\nTea\nCake\nCost\n3\n2\n4→§| Item | 3 |\n| Coffee | 2 |\n"
             u"| Tea | 4 |\n| Cake | |\n",
             u"Coffee\nTea\nCake\nCOST\n3\n2\n4→§| Coffee | 3 |\n| Tea | 2 |\n| Cake | 4 |\n",
             u"Cost-benefit\nA\nB\nTotal cost\n1\n2\n3→§| Cost-benefit | 1 |\n| A | 2 |\n"
             u"| B | 3 |\n",
             u"Cost $5\nTea\nCake\nPie\n$3\n$4→§| Tea | Cost $5 |\n| Cake | $3 |\n| Pie | $4 |\n",
             u"A\nB\nC\nShipping costs\n1\n2\n3→§| A | 1 |\n| B | 2 |\n| C | 3 |\n",
             // 15 characters: a name; no values follow, so lines pair up.
             u"A\nB\nC\nShipping costs!\n1\n2\n3→§| A | B |\n| C | Shipping costs! |\n| 1 | 2 |\n",
             u"Tea\nCake\nPie\n$1\n$2\n$3\n$4→§| Tea | $1 |\n| Cake | $2 |\n| Pie | $3 |\n| | $4 "
             u"|\n",
             u"Tea\nCake\nPie\nTart\n$1\n$2\n$3→§| Tea | $1 |\n| Cake | $2 |\n| Pie | $3 |\n"
             u"| Tart | |\n",
             u"Name\nAlice\nAge\n30\nCity\nParis→§| Name | Alice |\n| Age | 30 |\n| City | Paris "
             u"|\n",
             u"This line is longer than thirty chars\nName\nAlice\nAge\n30\nCity\nParis→§"
             u"| Name | Alice |\n| Age | 30 |\n| City | Paris |\n",
             u"Name  \nAlice\nAge\n30\nCity\nParis→=", u"Name\nAlice\nAge\n30→="});
        // Padding one very wide line into every row would blow up the text.
        QTest::newRow("one very wide line is no table")
            << QStringList(200, u"c"_s).join(u"  "_s) + u"\na  b"_s.repeated(300) << u"="_s;
        QTest::newRow("long name")
            << lines({u"Tea"_s, QString(50, u'x'), u"Cake"_s, u"Pie"_s, u"$1"_s, u"$2"_s, u"$3"_s})
            << u"§| Tea | $1 |\n| Cake | $2 |\n| Pie | $3 |\n"_s;
        QTest::newRow("marks") << lines(
                                      {decomposed, u"1"_s, decomposed, u"2"_s, decomposed, u"3"_s})
                               << u"§| %1 | 1 |\n| %1 | 2 |\n| %1 | 3 |\n"_s.arg(decomposed);
    }

    // The streamed form writes what the string form returns.
    void formatAsTable()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        expected.replace(u"§"_s, u"| Name | Value |\n|---|---|\n"_s);
        QCOMPARE(TextProcessingService::formatAsTable(text), expected == u"="_s ? text : expected);
        QString written;
        TextProcessingService::writeFinalText(text, u"\n", [&](QStringView s) { written += s; });
        QCOMPARE(written, TextProcessingService::finalText(text));
    }
};

QTEST_APPLESS_MAIN(TestTextProcessingService)
#include "tst_textprocessingservice.moc"
