#include "feedback/AppIcon.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {
QString sourceFile(const QString& relative)
{
    return qEnvironmentVariable("QUILLSNAP_SOURCE_DIR") + QLatin1Char('/') + relative;
}
} // namespace

class TestAppIcon : public QObject
{
    Q_OBJECT
private slots:
    void iconsRenderAtTraySize();
    void desktopEntry();
    void metadataValidates_data();
    void metadataValidates();
};

void TestAppIcon::iconsRenderAtTraySize()
{
    // Without an installed theme, the built-in copies must draw something.
    for (const QIcon& icon : {AppIcon::application(), AppIcon::symbolic()}) {
        const QImage image = icon.pixmap(16).toImage();
        QImage blank(image.size(), image.format());
        blank.fill(Qt::transparent);
        QVERIFY(!image.isNull() && image != blank);
    }
}

void TestAppIcon::desktopEntry()
{
    QSettings entry(sourceFile(QStringLiteral("data/quillsnap.desktop")), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    // Tesseract reads the thread limit when it is loaded: it must be in the
    // environment before the program starts.
    QCOMPARE(entry.value(QStringLiteral("Exec")).toString(),
             QStringLiteral("env OMP_THREAD_LIMIT=1 quillsnap"));
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    QVERIFY(QFile::exists(QStringLiteral(":/icons/%1.svg").arg(icon)));
}

void TestAppIcon::metadataValidates_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("desktop entry")
        << "desktop-file-validate"
        << QStringList{sourceFile(QStringLiteral("data/quillsnap.desktop"))};
    QTest::newRow("AppStream")
        << "appstreamcli"
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                       QStringLiteral("--strict"),
                       sourceFile(QStringLiteral("data/io.github.quillsnap.metainfo.xml"))};
}

void TestAppIcon::metadataValidates()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) {
        QSKIP("the validator is not installed");
    }
    QProcess check;
    check.start(path, arguments);
    QVERIFY(check.waitForFinished(30000));
    QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
