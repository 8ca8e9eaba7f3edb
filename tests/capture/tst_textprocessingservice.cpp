#include "capture/TextProcessingService.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString header = u"| Name | Value |\n|---|---|\n"_s;
const QString priceList = u"Coffee\n$3.50\nTea\n$2.00\nCake\n$4.25"_s;
const QString columns = u"Name  Price  Qty\nApple  1.00  3\nPear  2.00  4\nPlum  0.50  10"_s;

QString lines(const QStringList& list)
{
    return list.join(u'\n');
}

} // namespace

class TestTextProcessingService : public QObject
{
    Q_OBJECT

private slots:
    void isTableLike_data();
    void isTableLike();
    void formatAsTable_data();
    void formatAsTable();
};

void TestTextProcessingService::isTableLike_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("price list") << priceList << true;
    QTest::newRow("price list with blank lines")
        << u"Coffee\n\n$3.50\n \nTea\n$2.00\n\t\nCake\n$4.25"_s << true;
    QTest::newRow("columns") << columns << true;
    QTest::newRow("three lines never") << u"a  b  c\nd  e  f\ng  h  i"_s << false;
    QTest::newRow("three lines plus blank ones") << u"a  b  c\n\nd  e  f\n \ng  h  i\n"_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blank lines only") << u"\n \n\t\n\n"_s << false;
    QTest::newRow("ratio exactly 0.6")
        << u"a b  c d\ne f  g h\ni j  k l\nsingle line one\nsingle line two"_s << true;
    QTest::newRow("ratio 4 of 7")
        << u"a b  c d\ne f  g h\ni j  k l\nm n  o p\nsingle one\nsingle two\nsingle three"_s
        << false;
    QTest::newRow("two counts tie") << u"a b  c\nd e  f\ng  h  i\nj  k  l"_s << false;
    QTest::newRow("prose has one cell")
        << u"one line of prose\nanother line\nand a third\nand a fourth"_s << false;
    QTest::newRow("tabs are no separator") << u"a\tb\tc\nd\te\tf\ng\th\ti\nj\tk\tl"_s << false;
    QTest::newRow("three spaces separate")
        << u"a   b   c\nd   e   f\ng   h   i\nj   k   l"_s << true;
    QTest::newRow("prices without cents") << u"$5\nTea\nCake\nPie\n$3\n$4"_s << true;
    QTest::newRow("price anywhere in the line")
        << u"Coffee large $3.50\nTea\nSmall tea $2\nCake\nPie\nSlice $4"_s << true;
    QTest::newRow("two labels") << u"Coffee\n$3.50\nTea\n$2.00\n$4.25"_s << false;
    QTest::newRow("two prices") << u"Coffee\n$3.50\nTea\n$2.00\nCake\nPie"_s << false;
    QTest::newRow("labels with spaces do not count")
        << u"Iced tea\n$3\nHot tea\n$2\nCake\n$4"_s << false;
    QTest::newRow("labels of 29 characters")
        << lines(
               {QString(29, u'x'), u"$1"_s, QString(29, u'y'), u"$2"_s, QString(29, u'z'), u"$3"_s})
        << true;
    QTest::newRow("labels of 30 characters")
        << lines(
               {QString(30, u'x'), u"$1"_s, QString(30, u'y'), u"$2"_s, QString(30, u'z'), u"$3"_s})
        << false;
    const QString decomposed = u"e\u0301"_s.repeated(29);
    QTest::newRow("label length in characters")
        << lines({decomposed, u"$1"_s, decomposed, u"$2"_s, decomposed, u"$3"_s}) << true;
    QTest::newRow("not prices") << u"Tea\n$.50\nCake\n5$\nPie\n$\u0663"_s << false;
}

void TestTextProcessingService::isTableLike()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(TextProcessingService::isTableLike(text), expected);
}

void TestTextProcessingService::formatAsTable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("single line") << u"Coffee  $3.50"_s << u"Coffee  $3.50"_s;
    QTest::newRow("single line among blank ones") << u"\n Coffee \n\n"_s << u"\n Coffee \n\n"_s;

    QTest::newRow("price list") << priceList
                                << header + u"| Coffee | $3.50 |\n| Tea | $2.00 |\n"
                                            u"| Cake | $4.25 |\n"_s;
    QTest::newRow("columns") << columns
                             << u"| Name | Price | Qty |\n|---|---|---|\n| Apple | 1.00 | 3 |\n"
                                u"| Pear | 2.00 | 4 |\n| Plum | 0.50 | 10 |\n"_s;
    QTest::newRow("header row not padded, others padded")
        << u"a  b\n1  2  3\n4"_s << u"| a | b |\n|---|---|---|\n| 1 | 2 | 3 |\n| 4 |  |  |\n"_s;
    QTest::newRow("cells are not escaped")
        << u"a|b  c\nd  *e*"_s << u"| a|b | c |\n|---|---|\n| d | *e* |\n"_s;
    const QString wide = QStringList(200, u"c"_s).join(u"  "_s) + u"\na  b"_s.repeated(300);
    QTest::newRow("one very wide line is no table") << wide << wide;
    QTest::newRow("cells are trimmed")
        << u" a \t  b\nc  d "_s << u"| a | b |\n|---|---|\n| c | d |\n"_s;

    QTest::newRow("cost column")
        << u"Item\nCoffee\nTea\nCake\nCost\n3\n2\n4"_s
        << header + u"| Item | 3 |\n| Coffee | 2 |\n| Tea | 4 |\n| Cake | |\n"_s;
    QTest::newRow("cost header in capitals")
        << u"Coffee\nTea\nCake\nCOST\n3\n2\n4"_s
        << header + u"| Coffee | 3 |\n| Tea | 2 |\n| Cake | 4 |\n"_s;
    QTest::newRow("cost with a dash is a name")
        << u"Cost-benefit\nA\nB\nTotal cost\n1\n2\n3"_s
        << header + u"| Cost-benefit | 1 |\n| A | 2 |\n| B | 3 |\n"_s;
    QTest::newRow("cost with a price is a value")
        << u"Cost $5\nTea\nCake\nPie\n$3\n$4"_s
        << header + u"| Tea | Cost $5 |\n| Cake | $3 |\n| Pie | $4 |\n"_s;
    QTest::newRow("cost header of 14 characters")
        << u"A\nB\nC\nShipping costs\n1\n2\n3"_s << header + u"| A | 1 |\n| B | 2 |\n| C | 3 |\n"_s;
    // 15 characters: a name, not a header; no values follow, so lines pair up.
    QTest::newRow("cost header of 15 characters")
        << u"A\nB\nC\nShipping costs!\n1\n2\n3"_s
        << header + u"| A | B |\n| C | Shipping costs! |\n| 1 | 2 |\n"_s;
    QTest::newRow("more values than names")
        << u"Tea\nCake\nPie\n$1\n$2\n$3\n$4\n$5"_s
        << header + u"| Tea | $1 |\n| Cake | $2 |\n| Pie | $3 |\n| | $4 |\n| | $5 |\n"_s;
    QTest::newRow("names of 50 characters are dropped")
        << lines({u"Tea"_s, QString(50, u'x'), u"Cake"_s, u"Pie"_s, u"$1"_s, u"$2"_s, u"$3"_s})
        << header + u"| Tea | $1 |\n| Cake | $2 |\n| Pie | $3 |\n"_s;

    QTest::newRow("pairs") << u"Name\nAlice\nAge\n30\nCity\nParis"_s
                           << header + u"| Name | Alice |\n| Age | 30 |\n| City | Paris |\n"_s;
    QTest::newRow("pairing skips a long line")
        << u"This line is definitely longer than thirty\nName\nAlice\nAge\n30\nCity\nParis"_s
        << header + u"| Name | Alice |\n| Age | 30 |\n| City | Paris |\n"_s;
    QTest::newRow("pairing skips a line holding the separator")
        << u"Name  \nAlice\nAge\n30\nCity\nParis"_s << u"Name  \nAlice\nAge\n30\nCity\nParis"_s;
    QTest::newRow("two pairs are not enough")
        << u"Name\nAlice\nAge\n30"_s << u"Name\nAlice\nAge\n30"_s;
    const QString decomposed = u"e\u0301"_s.repeated(29);
    QTest::newRow("pair name length in characters")
        << lines({decomposed, u"1"_s, decomposed, u"2"_s, decomposed, u"3"_s})
        << header + u"| "_s + decomposed + u" | 1 |\n| "_s + decomposed + u" | 2 |\n| "_s +
               decomposed + u" | 3 |\n"_s;
}

void TestTextProcessingService::formatAsTable()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextProcessingService::formatAsTable(text), expected);
}

QTEST_APPLESS_MAIN(TestTextProcessingService)
#include "tst_textprocessingservice.moc"
