#include "capture/ReadingOrder.h"

#include <QTest>

namespace {

TextObservation obs(const QString& text, double x, double y, double width = 0.2,
                    double height = 0.05)
{
    return TextObservation{NormalizedRect{x, y, width, height}, QStringList{text}};
}

QStringList texts(const QList<TextObservation>& list)
{
    QStringList out;
    for (const TextObservation& o : list) {
        out.append(o.candidates.value(0));
    }
    return out;
}

// A left column (L1..Ln) and a right column (R1..Rm), line i of each at the same
// height, handed over interleaved as a recognizer scanning rows would.
QList<TextObservation> columns(int leftCount, int rightCount, double leftX, double leftWidth,
                               double rightX)
{
    QList<TextObservation> list;
    for (int i = 0; i < std::max(leftCount, rightCount); ++i) {
        const double y = 0.9 - 0.1 * i;
        if (i < leftCount) {
            list.append(obs(QStringLiteral("L%1").arg(i + 1), leftX, y, leftWidth));
        }
        if (i < rightCount) {
            list.append(obs(QStringLiteral("R%1").arg(i + 1), rightX, y - 0.001 * i));
        }
    }
    return list;
}

} // namespace

class TestReadingOrder : public QObject
{
    Q_OBJECT

private slots:
    void columnLayouts_data()
    {
        QTest::addColumn<QList<TextObservation>>("input");
        QTest::addColumn<QStringList>("expected");

        const auto names = [](const char* list) { return QString::fromLatin1(list).split(u' '); };
        // 0.31 - 0.25 and 0.1125 - 0.0625 are exactly 0.06 and 0.05 in doubles.
        QTest::newRow("4+4, gap 0.06")
            << columns(4, 4, 0.0, 0.25, 0.31) << names("L1 L2 L3 L4 R1 R2 R3 R4");
        QTest::newRow("4+4, gap exactly 0.05")
            << columns(4, 4, 0.0, 0.0625, 0.1125) << names("L1 R1 L2 R2 L3 R3 L4 R4");
        QTest::newRow("4+4, overlapping")
            << columns(4, 4, 0.0, 0.6, 0.5) << names("L1 R1 L2 R2 L3 R3 L4 R4");
        QTest::newRow("3 on the left")
            << columns(3, 4, 0.0, 0.25, 0.5) << names("L1 R1 L2 R2 L3 R3 R4");
        QTest::newRow("3 on the right")
            << columns(4, 3, 0.0, 0.25, 0.5) << names("L1 R1 L2 R2 L3 R3 L4");
        // Rows given bottom first still come out top to bottom in each column.
        QList<TextObservation> reversed = columns(5, 4, 0.05, 0.3, 0.6);
        std::reverse(reversed.begin(), reversed.end());
        QTest::newRow("5+4 reversed input") << reversed << names("L1 L2 L3 L4 L5 R1 R2 R3 R4");
        QTest::newRow("empty") << QList<TextObservation>{} << QStringList{};
        QTest::newRow("single") << QList<TextObservation>{obs(QStringLiteral("a"), 0.5, 0.5)}
                                << QStringList{QStringLiteral("a")};

        // Equal lower edges: input order, never position, decides.
        QTest::newRow("equal y keeps input order")
            << QList<TextObservation>{obs(QStringLiteral("right"), 0.7, 0.5),
                                      obs(QStringLiteral("low"), 0.0, 0.2),
                                      obs(QStringLiteral("left"), 0.1, 0.5),
                                      obs(QStringLiteral("top"), 0.4, 0.8)}
            << names("top right left low");

        // Many equal heights: an unstable sort would shuffle these.
        QList<TextObservation> flat;
        QStringList flatNames;
        for (int i = 0; i < 40; ++i) {
            flat.append(obs(QString::number(i), (i % 7) / 10.0, 0.5));
            flatNames.append(QString::number(i));
        }
        QTest::newRow("forty on one line") << flat << flatNames;
    }

    void columnLayouts()
    {
        QFETCH(QList<TextObservation>, input);
        QFETCH(QStringList, expected);
        QCOMPARE(texts(ReadingOrder::orderObservations(input)), expected);
    }

    void joinSkipsObservationsWithoutCandidates()
    {
        const QList<TextObservation> list = {
            obs(QStringLiteral(" first "), 0, 0.9),
            TextObservation{NormalizedRect{0, 0.8, 0.1, 0.05}, {}},
            TextObservation{NormalizedRect{0, 0.7, 0.1, 0.05},
                            {QStringLiteral("second"), QStringLiteral("alternative")}},
            obs(QString(), 0, 0.6),
        };
        // Untrimmed; an empty best candidate still counts as a line.
        QCOMPARE(ReadingOrder::joinObservations(list), QStringLiteral(" first \nsecond\n"));
        QCOMPARE(ReadingOrder::joinObservations({}), QString());
        QCOMPARE(ReadingOrder::joinObservations({TextObservation{}}), QString());
    }
};

QTEST_GUILESS_MAIN(TestReadingOrder)
#include "tst_readingorder.moc"
