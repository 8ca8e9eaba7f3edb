#include "feedback/AppIcon.h"

#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAppIcon : public QObject
{
    Q_OBJECT
private slots:
    void iconsAndDesktopEntry()
    {
        // Without an installed theme, the built-in icons draw at tray size.
        for (const QIcon& icon : {AppIcon::application(), AppIcon::symbolic()}) {
            const QImage image = icon.pixmap(16).toImage();
            QImage blank(image.size(), image.format());
            blank.fill(Qt::transparent);
            QVERIFY(!image.isNull() && image != blank);
        }
        QSettings entry(qEnvironmentVariable("QUILLSNAP_SOURCE_DIR") + u"/data/quillsnap.desktop"_s,
                        QSettings::IniFormat);
        entry.beginGroup(u"Desktop Entry"_s);
        // Tesseract reads the thread limit when it is loaded: it must be in
        // the environment before the program starts.
        QCOMPARE(entry.value(u"Exec"_s).toString(), u"env OMP_THREAD_LIMIT=1 quillsnap"_s);
        QVERIFY(QFile::exists(u":/icons/%1.svg"_s.arg(entry.value(u"Icon"_s).toString())));
    }
};

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
