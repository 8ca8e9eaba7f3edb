#include "common/Graphemes.h"

#include <QTest>

class TestGraphemes : public QObject
{
    Q_OBJECT
private slots:
    void countAndPreview_data();
    void countAndPreview();
};

void TestGraphemes::countAndPreview_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("preview3");

    QTest::newRow("empty") << QString() << 0 << QString();
    QTest::newRow("ascii short") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
    QTest::newRow("ascii long") << QStringLiteral("abcd") << 4 << QStringLiteral("abc...");
    QTest::newRow("combining accent")
        << QStringLiteral("e\u0301e\u0301e\u0301") << 3 << QStringLiteral("e\u0301e\u0301e\u0301");
    QTest::newRow("skin tone emoji") << QStringLiteral("\U0001F44D\U0001F3FDab") << 3
                                     << QStringLiteral("\U0001F44D\U0001F3FDab");
    QTest::newRow("flags")
        << QStringLiteral("\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA\U0001F1EE\U0001F1F9x") << 4
        << QStringLiteral("\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA\U0001F1EE\U0001F1F9...");
    QTest::newRow("emoji joined by ZWJ") << QStringLiteral("\U0001F469\u200D\U0001F4BBab") << 3
                                         << QStringLiteral("\U0001F469\u200D\U0001F4BBab");
    QTest::newRow("crlf is one") << QStringLiteral("a\r\nb") << 3 << QStringLiteral("a\r\nb");
    QTest::newRow("family joined by ZWJ")
        << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467") << 1
        << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("abc") << 4
                                    << QString(QChar(0xD800)) + QStringLiteral("ab...");
    QTest::newRow("hangul jamo") << QStringLiteral("\u1100\u1161\u11A8xyz") << 4
                                 << QStringLiteral("\u1100\u1161\u11A8xy...");
}

void TestGraphemes::countAndPreview()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QString, preview3);
    QCOMPARE(Graphemes::count(text), qsizetype(count));
    QCOMPARE(Graphemes::preview(text, 3), preview3);
}

QTEST_GUILESS_MAIN(TestGraphemes)
#include "tst_graphemes.moc"
