#include "CaptureFile.h"
#include "ScreenGrabber.h"
#include "SelectionGeometry.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// Four solid quadrants at a known place: red, green / blue, yellow. Their
// edges sit on the ends of the drags below, so an off-by-one shows.
const QRect patternGeometry(100, 100, 400, 300);

class PatternWindow : public QRasterWindow
{
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(0, 0, 200, 150, Qt::red);
        p.fillRect(200, 0, 200, 150, Qt::green);
        p.fillRect(0, 150, 200, 150, Qt::blue);
        p.fillRect(200, 150, 200, 150, Qt::yellow);
    }
};

int fileMode(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return int(st.st_mode & 0777);
}

} // namespace

class TestScreenCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selectionGeometry_data();
    void selectionGeometry();
    void composeDesktop_data();
    void composeDesktop();
    void writeRefusesBadDestinations();

    void dragWritesRegion_data();
    void dragWritesRegion();
    void degenerateDragKeepsPicking();
    void overlayShowsSelection();
    void clickPicksWindow_data();
    void clickPicksWindow();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void silentCapturesDesktop_data();
    void silentCapturesDesktop();
    void replacesExistingFilePrivately();
    void badUsage_data();
    void badUsage();
    void unwritableDestination_data();
    void unwritableDestination();

private:
    void startPicker(const QStringList& args, const QStringList& env = {});
    bool xdotool(const QString& commands);
    int finishPicker();

    PatternWindow m_pattern;
    QImage m_reference;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_out;
    QString m_readyFile;
    QProcess m_picker;
};

void TestScreenCapture::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
             "xdotool is needed to drive the picker");
    m_pattern.setFlags(Qt::Window | Qt::FramelessWindowHint);
    m_pattern.setGeometry(patternGeometry);
    m_pattern.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_pattern));
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 800));
}

void TestScreenCapture::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_out = m_dir->filePath(QStringLiteral("shot.png"));
    m_readyFile = m_dir->filePath(QStringLiteral("ready"));
    // The previous overlay is gone and the pattern repainted before a new
    // picker freezes the screen; the reference is what it will see.
    QTRY_VERIFY_WITH_TIMEOUT(
        (m_reference = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
             QImage::Format_RGB32),
         m_reference.pixelColor(150, 150) == QColor(Qt::red) &&
             m_reference.pixelColor(450, 350) == QColor(Qt::yellow)),
        5000);
    QVERIFY(xdotool(QStringLiteral("mousemove 640 700")));
}

void TestScreenCapture::cleanup()
{
    if (m_picker.state() != QProcess::NotRunning) {
        m_picker.kill();
        m_picker.waitForFinished();
    }
    xdotool(QStringLiteral("mouseup 1"));
}

void TestScreenCapture::startPicker(const QStringList& args, const QStringList& env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLSNAP_PICKER_READY_FILE"), m_readyFile);
    for (const QString& entry : env) {
        environment.insert(entry.section(QLatin1Char('='), 0, 0),
                           entry.section(QLatin1Char('='), 1));
    }
    m_picker.setProcessEnvironment(environment);
    m_picker.start(QStringLiteral(QUILLSNAP_PICKER_PATH), args);
    QVERIFY(m_picker.waitForStarted());
    if (args.first() == QLatin1String("-i")) {
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_readyFile).size() > 0, 5000);
    }
}

bool TestScreenCapture::xdotool(const QString& commands)
{
    return QProcess::execute(QStringLiteral("xdotool"), commands.split(QLatin1Char(' '))) == 0;
}

int TestScreenCapture::finishPicker()
{
    // Spin the event loop while waiting, so the pattern can repaint.
    QDeadlineTimer deadline(10000);
    while (m_picker.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(20);
    }
    if (m_picker.state() != QProcess::NotRunning) {
        return -2;
    }
    return m_picker.exitStatus() == QProcess::NormalExit ? m_picker.exitCode() : -1;
}

void TestScreenCapture::selectionGeometry_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("current");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("forward, far edge exclusive")
        << QPoint(100, 100) << QPoint(300, 250) << QRect(100, 100, 200, 150);
    QTest::newRow("backward") << QPoint(300, 250) << QPoint(100, 100) << QRect(100, 100, 200, 150);
    QTest::newRow("mixed directions")
        << QPoint(300, 100) << QPoint(100, 250) << QRect(100, 100, 200, 150);
    QTest::newRow("no movement") << QPoint(10, 10) << QPoint(10, 10) << QRect(10, 10, 0, 0);
    QTest::newRow("last column and row reach the edge")
        << QPoint(1000, 600) << QPoint(1279, 799) << QRect(1000, 600, 280, 200);
    QTest::newRow("beyond the screen is clamped")
        << QPoint(1000, 600) << QPoint(5000, 2000) << QRect(1000, 600, 280, 200);
    QTest::newRow("negative is clamped")
        << QPoint(50, 40) << QPoint(-30, -90) << QRect(0, 0, 50, 40);
    QTest::newRow("edge to edge") << QPoint(0, 0) << QPoint(1279, 799) << QRect(0, 0, 1280, 800);
}

void TestScreenCapture::selectionGeometry()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, current);
    QFETCH(QRect, expected);
    QCOMPARE(SelectionGeometry::between(press, current, QSize(1280, 800)), expected);
    QVERIFY(SelectionGeometry::between(press, current, QSize()).isNull());
    // Half pixels of a 1.5 ratio fall to the pixel they lie in.
    QCOMPARE(SelectionGeometry::toDevice(QPointF(66.9, 0.4), 1.5), QPoint(100, 0));
    QVERIFY(!SelectionGeometry::isDrag(QPointF(10, 10), QPointF(12.9, 7.1)));
    QVERIFY(SelectionGeometry::isDrag(QPointF(10, 10), QPointF(10, 13)));
}

void TestScreenCapture::composeDesktop_data()
{
    QTest::addColumn<QList<QRect>>("natives");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("gap");

    QTest::newRow("one screen") << QList<QRect>{QRect(0, 0, 1280, 800)} << QSize(1280, 800)
                                << QPoint(-1, -1);
    QTest::newRow("side by side, different heights")
        << QList<QRect>{QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)} << QSize(3200, 1080)
        << QPoint(10, 900);
    QTest::newRow("second screen left of the primary")
        << QList<QRect>{QRect(0, 0, 1280, 800), QRect(-1024, 100, 1024, 768)} << QSize(2304, 868)
        << QPoint(10, 10);
}

// Screens land where their native geometry puts them; what no screen covers
// is black.
void TestScreenCapture::composeDesktop()
{
    QFETCH(QList<QRect>, natives);
    QFETCH(QSize, size);
    QFETCH(QPoint, gap);

    QList<ScreenImage> screens;
    QRect bounds;
    const QList<QColor> colours{Qt::red, Qt::green};
    for (int i = 0; i < natives.size(); ++i) {
        ScreenImage shot;
        shot.nativeGeometry = natives.at(i);
        shot.image = QImage(natives.at(i).size(), QImage::Format_RGB32);
        shot.image.fill(colours.at(i));
        screens.append(shot);
        bounds |= natives.at(i);
    }
    const QImage desktop = CaptureFile::composeDesktop(screens);
    QCOMPARE(desktop.size(), size);
    for (int i = 0; i < natives.size(); ++i) {
        const QRect at = natives.at(i).translated(-bounds.topLeft());
        QCOMPARE(desktop.pixelColor(at.topLeft()), colours.at(i));
        QCOMPARE(desktop.pixelColor(at.bottomRight()), colours.at(i));
    }
    if (gap.x() >= 0) {
        QCOMPARE(desktop.pixelColor(gap), QColor(Qt::black));
    }
}

void TestScreenCapture::writeRefusesBadDestinations()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(!CaptureFile::write(QImage(), m_out));
    QVERIFY(!CaptureFile::write(image, m_dir->filePath(QStringLiteral("none/x.png"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("none"))));
    QVERIFY(!CaptureFile::write(image, m_dir->path()));
    QVERIFY(!QFileInfo::exists(m_out));
    QVERIFY(CaptureFile::write(image, m_out));
    QCOMPARE(fileMode(m_out), 0600);
    QCOMPARE(QImage(m_out).pixelColor(3, 3), QColor(Qt::blue));
}

void TestScreenCapture::dragWritesRegion_data()
{
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QString>("drag");
    QTest::addColumn<QRect>("expected");

    const QString forward = QStringLiteral(
        "mousemove 100 100 mousedown 1 mousemove 200 180 mousemove 300 250 mouseup 1");
    QTest::newRow("forward") << QStringList() << forward << QRect(100, 100, 200, 150);
    QTest::newRow("backward")
        << QStringList()
        << QStringLiteral(
               "mousemove 300 250 mousedown 1 mousemove 200 180 mousemove 100 100 mouseup 1")
        << QRect(100, 100, 200, 150);
    QTest::newRow("across the quadrants")
        << QStringList()
        << QStringLiteral(
               "mousemove 250 200 mousedown 1 mousemove 300 260 mousemove 350 300 mouseup 1")
        << QRect(250, 200, 100, 100);
    QTest::newRow("from the desktop into the window")
        << QStringList()
        << QStringLiteral(
               "mousemove 50 50 mousedown 1 mousemove 100 100 mousemove 150 150 mouseup 1")
        << QRect(50, 50, 100, 100);
    QTest::newRow("to the screen's corner")
        << QStringList()
        << QStringLiteral(
               "mousemove 1000 600 mousedown 1 mousemove 1200 700 mousemove 1279 799 mouseup 1")
        << QRect(1000, 600, 280, 200);
    // Scaled by two, the picker works in 640x400 logical pixels; the file
    // still holds the screen's own pixels.
    QTest::newRow("scale factor 2")
        << QStringList{QStringLiteral("QT_SCALE_FACTOR=2")} << forward << QRect(100, 100, 200, 150);
    QTest::newRow("scale factor 2, to the corner")
        << QStringList{QStringLiteral("QT_SCALE_FACTOR=2")}
        << QStringLiteral(
               "mousemove 1000 600 mousedown 1 mousemove 1200 700 mousemove 1279 799 mouseup 1")
        << QRect(1000, 600, 280, 200);
}

void TestScreenCapture::dragWritesRegion()
{
    QFETCH(QStringList, env);
    QFETCH(QString, drag);
    QFETCH(QRect, expected);

    startPicker({QStringLiteral("-i"), m_out}, env);
    QVERIFY(xdotool(drag));
    QCOMPARE(finishPicker(), 0);

    QCOMPARE(fileMode(m_out), 0600);
    QImage shot(m_out);
    QCOMPARE(shot.size(), expected.size());
    QCOMPARE(shot.convertToFormat(QImage::Format_RGB32), m_reference.copy(expected));
    // Nothing but the file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
             QStringList({QStringLiteral("ready"), QStringLiteral("shot.png")}));
}

void TestScreenCapture::degenerateDragKeepsPicking()
{
    startPicker({QStringLiteral("-i"), m_out});
    // A drag along one axis encloses nothing: no file, the picker stays.
    QVERIFY(xdotool(QStringLiteral(
        "mousemove 100 100 mousedown 1 mousemove 150 100 mousemove 200 100 mouseup 1")));
    QTest::qWait(300);
    QCOMPARE(m_picker.state(), QProcess::Running);
    QVERIFY(!QFile::exists(m_out));
    QVERIFY(xdotool(QStringLiteral(
        "mousemove 100 100 mousedown 1 mousemove 200 180 mousemove 300 250 mouseup 1")));
    QCOMPARE(finishPicker(), 0);
    QCOMPARE(QImage(m_out).size(), QSize(200, 150));
}

void TestScreenCapture::overlayShowsSelection()
{
    startPicker({QStringLiteral("-i"), m_out});
    const QColor border(0x3d, 0xae, 0xe9);
    auto grab = [] { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); };

    // Before any drag the whole frozen screen is dimmed.
    QImage screen = grab();
    QVERIFY(screen.pixelColor(150, 150).red() < 200);
    QVERIFY(screen.pixelColor(150, 150).red() > 60);

    QVERIFY(xdotool(
        QStringLiteral("mousemove 100 100 mousedown 1 mousemove 200 180 mousemove 300 250")));
    QTRY_COMPARE_WITH_TIMEOUT((screen = grab()).pixelColor(99, 150), border, 5000);
    // The selection is shown as it is, the rest darker, the frame just outside.
    QCOMPARE(screen.pixelColor(100, 100), QColor(Qt::red));
    QCOMPARE(screen.pixelColor(299, 249), QColor(Qt::red));
    QCOMPARE(screen.pixelColor(300, 150), border);
    QCOMPARE(screen.pixelColor(200, 99), border);
    QCOMPARE(screen.pixelColor(200, 250), border);
    const QColor dimmedGreen = screen.pixelColor(350, 150);
    QVERIFY(dimmedGreen.green() > 60 && dimmedGreen.green() < 200);
    QCOMPARE(dimmedGreen.red(), 0);
    // The size label sits below the selection: light text on a dark box.
    int light = 0;
    for (int y = 252; y < 290; ++y) {
        for (int x = 100; x < 260; ++x) {
            light += screen.pixelColor(x, y).lightness() > 200 ? 1 : 0;
        }
    }
    QVERIFY2(light > 20, qPrintable(QString::number(light)));

    QVERIFY(xdotool(QStringLiteral("mouseup 1")));
    QCOMPARE(finishPicker(), 0);
    QCOMPARE(QImage(m_out).size(), QSize(200, 150));
}

void TestScreenCapture::clickPicksWindow_data()
{
    QTest::addColumn<QPoint>("click");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("on the window") << QPoint(200, 200) << patternGeometry;
    QTest::newRow("jitter below the threshold") << QPoint(420, 330) << patternGeometry;
    QTest::newRow("on the desktop: whole screen") << QPoint(1000, 700) << QRect(0, 0, 1280, 800);
}

void TestScreenCapture::clickPicksWindow()
{
    QFETCH(QPoint, click);
    QFETCH(QRect, expected);

    startPicker({QStringLiteral("-i"), m_out});
    const QString x = QString::number(click.x());
    const QString y = QString::number(click.y());
    // Two pixels of movement between press and release are still a click.
    QVERIFY(
        xdotool(QStringLiteral("mousemove %1 %2 mousedown 1 mousemove %3 %4 mouseup 1")
                    .arg(x, y, QString::number(click.x() + 2), QString::number(click.y() - 2))));
    QCOMPARE(finishPicker(), 0);
    QCOMPARE(fileMode(m_out), 0600);
    QCOMPARE(QImage(m_out).convertToFormat(QImage::Format_RGB32), m_reference.copy(expected));
}

void TestScreenCapture::cancelWritesNothing_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("escape") << QStringLiteral("key Escape");
    QTest::newRow("right click") << QStringLiteral("mousemove 400 300 click 3");
    QTest::newRow("escape while dragging")
        << QStringLiteral("mousemove 100 100 mousedown 1 mousemove 200 200 key Escape");
    QTest::newRow("right click while dragging")
        << QStringLiteral("mousemove 100 100 mousedown 1 mousemove 200 200 click 3");
}

void TestScreenCapture::cancelWritesNothing()
{
    QFETCH(QString, input);
    startPicker({QStringLiteral("-i"), m_out});
    QVERIFY(xdotool(input));
    QCOMPARE(finishPicker(), 1);
    xdotool(QStringLiteral("mouseup 1"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("ready")});
}

void TestScreenCapture::silentCapturesDesktop_data()
{
    QTest::addColumn<QStringList>("env");
    QTest::newRow("unscaled") << QStringList();
    QTest::newRow("scale factor 2") << QStringList{QStringLiteral("QT_SCALE_FACTOR=2")};
}

void TestScreenCapture::silentCapturesDesktop()
{
    QFETCH(QStringList, env);
    startPicker({QStringLiteral("-x"), m_out}, env);
    QCOMPARE(finishPicker(), 0);
    QCOMPARE(fileMode(m_out), 0600);
    const QImage shot = QImage(m_out).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot.size(), QSize(1280, 800));
    QCOMPARE(shot, m_reference);
    // Silent: no overlay was ever shown.
    QVERIFY(!QFile::exists(m_readyFile));
}

void TestScreenCapture::replacesExistingFilePrivately()
{
    QFile old(m_out);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("stale");
    old.close();
    QVERIFY(QFile::setPermissions(m_out, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                             QFile::ReadOther));
    startPicker({QStringLiteral("-x"), m_out});
    QCOMPARE(finishPicker(), 0);
    QCOMPARE(fileMode(m_out), 0600);
    QCOMPARE(QImage(m_out).size(), QSize(1280, 800));
}

void TestScreenCapture::badUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("flag without path") << QStringList{QStringLiteral("-i")};
    QTest::newRow("empty path") << QStringList{QStringLiteral("-i"), QString()};
    QTest::newRow("unknown flag") << QStringList{QStringLiteral("-q"), QStringLiteral("a.png")};
    QTest::newRow("path before flag") << QStringList{QStringLiteral("a.png"), QStringLiteral("-x")};
    QTest::newRow("extra argument")
        << QStringList{QStringLiteral("-i"), QStringLiteral("a.png"), QStringLiteral("b.png")};
}

void TestScreenCapture::badUsage()
{
    QFETCH(QStringList, args);
    QProcess picker;
    picker.setWorkingDirectory(m_dir->path());
    picker.start(QStringLiteral(QUILLSNAP_PICKER_PATH), args);
    QVERIFY(picker.waitForFinished());
    QCOMPARE(picker.exitStatus(), QProcess::NormalExit);
    QCOMPARE(picker.exitCode(), 2);
    QVERIFY(picker.readAllStandardError().contains("usage"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void TestScreenCapture::unwritableDestination_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("path");
    QTest::newRow("missing directory, -i")
        << QStringLiteral("-i") << QStringLiteral("missing/shot.png");
    QTest::newRow("missing directory, -x")
        << QStringLiteral("-x") << QStringLiteral("missing/shot.png");
    QTest::newRow("path is a directory") << QStringLiteral("-x") << QStringLiteral("sub");
    QTest::newRow("read-only directory")
        << QStringLiteral("-x") << QStringLiteral("locked/shot.png");
}

void TestScreenCapture::unwritableDestination()
{
    QFETCH(QString, mode);
    QFETCH(QString, path);
    QDir(m_dir->path()).mkdir(QStringLiteral("sub"));
    QDir(m_dir->path()).mkdir(QStringLiteral("locked"));
    const QString locked = m_dir->filePath(QStringLiteral("locked"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (path.startsWith(QLatin1String("locked")) && QFileInfo(locked).isWritable()) {
        QSKIP("running as a user who may write anywhere");
    }

    QProcess picker;
    picker.start(QStringLiteral(QUILLSNAP_PICKER_PATH), {mode, m_dir->filePath(path)});
    QVERIFY(picker.waitForFinished());
    QCOMPARE(picker.exitCode(), 1);
    QVERIFY(!picker.readAllStandardError().isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("missing"))));
    QCOMPARE(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(TestScreenCapture)
#include "tst_screencapture.moc"
