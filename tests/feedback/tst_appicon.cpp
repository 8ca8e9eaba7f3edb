#include "feedback/AppIcon.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTest>

namespace {
QString sourceFile(const QString& relative)
{
    return qEnvironmentVariable("QUILLSNAP_SOURCE_DIR") + QLatin1Char('/') + relative;
}

// Share of pixels that are clearly drawn, and of those that are light.
struct Coverage
{
    double drawn = 0;
    double light = 0;
};

Coverage coverage(const QImage& image)
{
    int drawn = 0;
    int light = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 128) {
                ++drawn;
                light += qGray(pixel) > 200 ? 1 : 0;
            }
        }
    }
    const double all = image.width() * image.height();
    return {drawn / all, light / all};
}
} // namespace

class TestAppIcon : public QObject
{
    Q_OBJECT
private slots:
    void builtInIconsRender_data();
    void builtInIconsRender();
    void desktopEntry();
    void desktopEntryValidates();
    void appStreamMetadataIsValid();
};

void TestAppIcon::builtInIconsRender_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("minDrawn");
    for (int size : {16, 22, 24, 48}) {
        QTest::addRow("colour %d", size) << QStringLiteral(":/icons/quillsnap.svg") << size << 0.7;
        QTest::addRow("symbolic %d", size)
            << QStringLiteral(":/icons/quillsnap-symbolic.svg") << size << 0.2;
    }
}

void TestAppIcon::builtInIconsRender()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    QFETCH(double, minDrawn);
    QSvgRenderer renderer(path);
    QVERIFY(renderer.isValid());
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    // The colour icon is a filled tile; the symbolic one a sparse outline
    // that leaves most of the square empty. Either way the glyph must
    // survive the smallest tray size.
    const Coverage c = coverage(image);
    QVERIFY2(c.drawn >= minDrawn, qPrintable(QString::number(c.drawn)));
    if (path.contains(QLatin1String("symbolic"))) {
        QVERIFY(c.drawn < 0.6);
    } else {
        QVERIFY2(c.light > 0.1, qPrintable(QString::number(c.light)));
    }
    // What the application asks for: the theme's icon, else this one.
    const QIcon icon =
        path.contains(QLatin1String("symbolic")) ? AppIcon::symbolic() : AppIcon::application();
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(size).isNull());
}

void TestAppIcon::desktopEntry()
{
    const QString path = sourceFile(QStringLiteral("data/quillsnap.desktop"));
    QVERIFY(QFile::exists(path));
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
    QCOMPARE(entry.value(QStringLiteral("Name")).toString(), QStringLiteral("quillsnap"));
    // Tesseract reads the thread limit when it is loaded: it must be in the
    // environment before the program starts.
    QCOMPARE(entry.value(QStringLiteral("Exec")).toString(),
             QStringLiteral("env OMP_THREAD_LIMIT=1 quillsnap"));
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    QVERIFY(QFile::exists(sourceFile(QStringLiteral("data/icons/%1.svg").arg(icon))));
    QVERIFY(QFile::exists(QStringLiteral(":/icons/%1.svg").arg(icon)));
}

void TestAppIcon::desktopEntryValidates()
{
    const QString path = sourceFile(QStringLiteral("data/quillsnap.desktop"));

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        QSKIP("desktop-file-validate is not installed");
    }
    QProcess check;
    check.start(validator, {path});
    QVERIFY(check.waitForFinished());
    QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
}

void TestAppIcon::appStreamMetadataIsValid()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (tool.isEmpty()) {
        QSKIP("appstreamcli is not installed");
    }
    QProcess check;
    check.start(tool,
                {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"),
                 sourceFile(QStringLiteral("data/io.github.quillsnap.metainfo.xml"))});
    QVERIFY(check.waitForFinished(30000));
    QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
