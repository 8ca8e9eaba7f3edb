#include "CaseTable.h"
#include "capture/DesktopImageLayout.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "x,y,w,h" rectangles joined by ";".
QList<QRect> rects(const QString& text)
{
    QList<QRect> out;
    for (const QString& r : text.split(u';', Qt::SkipEmptyParts)) {
        const QStringList v = r.split(u',');
        out << QRect(v.value(0).toInt(), v.value(1).toInt(), v.value(2).toInt(),
                     v.value(3).toInt());
    }
    return out;
}

QSize size(const QString& text)
{
    const QStringList v = text.split(u'x');
    return QSize(v.value(0).toInt(), v.value(1).toInt());
}

} // namespace

class TestDesktopImageLayout : public QObject
{
    Q_OBJECT

private slots:
    // Screens (logical), the desktop image's size, each screen's pixels in it.
    // grim and the portals compose outputs of different scale at the largest.
    void screenArea_data()
    {
        QTest::addColumn<QString>("screens");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("areas");
        // clang-format off
        addRows({
            u"0,0,1280,720→1280x720→0,0,1280,720",
            // 1x beside 2x: the 1x output is scaled up.
            u"0,0,1280,720;1280,0,1280,720→5120x1440→0,0,2560,1440;2560,0,2560,1440",
            // 1.5x (1920x1080 native) beside 1x, bottoms not aligned.
            u"0,0,1280,720;1280,0,1024,768→3456x1152→0,0,1920,1080;1920,0,1536,1152",
            // Left of the origin, and a fractional logical width (2560 / 1.5).
            u"-1280,0,1280,1024;0,0,1707,960→4481x1536→0,0,1920,1536;1920,0,2561,1440",
            // Stacked, the image at 1x although one output is 2x (a portal's choice).
            u"0,0,800,600;0,600,800,600→800x1200→0,0,800,600;0,600,800,600",
        });
        // clang-format on
    }

    void screenArea()
    {
        QFETCH(QString, screens);
        QFETCH(QString, image);
        QFETCH(QString, areas);
        const QList<QRect> geometries = rects(screens);
        const QRect desktop = DesktopImageLayout::bounds(geometries);
        QList<QRect> found;
        for (const QRect& screen : geometries) {
            found << DesktopImageLayout::screenArea(screen, desktop, size(image));
        }
        QCOMPARE(found, rects(areas));
        // Neighbours share no pixel.
        for (int i = 1; i < found.size(); ++i) {
            QVERIFY(!found.at(i).intersects(found.at(i - 1)));
        }
    }

    // A logical region local to a screen, in that screen's image pixels:
    // rounded outwards, clipped.
    void toImage_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("logical");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("expected");
        // clang-format off
        addRows({u"10,10,100,50→1280x720→1280x720→10,10,100,50",
                 u"10,10,100,50→1280x720→1920x1080→15,15,150,75",
                 u"1,1,1,1→1280x720→1920x1080→1,1,2,2",
                 u"0,0,1707,960→1707x960→2560x1440→0,0,2560,1440",
                 u"1200,700,200,100→1280x720→1280x720→1200,700,80,20",
                 u"-50,-50,100,100→1280x720→2560x1440→0,0,100,100",
                 u"2000,0,10,10→1280x720→1280x720→0,0,0,0"});
        // clang-format on
    }

    void toImage()
    {
        QFETCH(QString, local);
        QFETCH(QString, logical);
        QFETCH(QString, image);
        QFETCH(QString, expected);
        const QRect found =
            DesktopImageLayout::toImage(rects(local).value(0), size(logical), size(image));
        const QRect want = rects(expected).value(0);
        QCOMPARE(found.isEmpty(), want.isEmpty());
        if (!want.isEmpty()) {
            QCOMPARE(found, want);
        }
    }

    void screenFor_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<int>("screen");
        QTest::newRow("on the first") << u"10,10,100,100"_s << 0;
        QTest::newRow("mostly on the second") << u"1200,0,200,50"_s << 1;
        QTest::newRow("left of the origin") << u"-100,100,50,50"_s << -1;
        QTest::newRow("in the gap below the second") << u"1300,750,10,10"_s << -1;
    }

    void screenFor()
    {
        QFETCH(QString, region);
        QFETCH(int, screen);
        const QList<QRect> screens = rects(u"0,0,1280,800;1280,0,1024,720"_s);
        QCOMPARE(DesktopImageLayout::screenFor(rects(region).value(0), screens), screen);
    }
};

QTEST_APPLESS_MAIN(TestDesktopImageLayout)
#include "tst_desktopimagelayout.moc"
