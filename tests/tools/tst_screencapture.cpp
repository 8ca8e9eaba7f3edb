#include "CaptureFile.h"
#include "CaseTable.h"
#include "FileMode.h"
#include "capture/ScreenGrabber.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Four solid quadrants at a known place: red, green / blue, yellow. Their
// edges sit on the ends of the drags below, so an off-by-one shows.
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

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

// xdotool commands; "x,y>x,y" stands for a drag between two points.
bool xdotool(const QString& input)
{
    const QString drag = u"mousemove %1 %2 mousedown 1 mousemove %5 %6 mousemove %3 %4 mouseup 1"_s;
    QStringList args;
    for (const QString& word : input.split(u' ')) {
        const QStringList p = word.split(QRegularExpression(u"[,>]"_s));
        args += p.size() < 4 ? QStringList{word}
                             : drag.arg(p[0], p[1], p[2], p[3])
                                   .arg((p[0].toInt() + p[2].toInt()) / 2)
                                   .arg((p[1].toInt() + p[3].toInt()) / 2)
                                   .split(u' ');
    }
    return QProcess::execute(u"xdotool"_s, args) == 0;
}

// Whether the process has ended: gone, or a zombie nobody has reaped yet.
bool ended(const QByteArray& pid)
{
    QFile stat(QString::fromLatin1("/proc/" + pid + "/stat"));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
}

} // namespace

class TestScreenCapture : public QObject
{
    Q_OBJECT

private:
    PatternWindow m_pattern;
    QImage m_reference;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_out;
    QString m_ready;
    QProcess m_picker;

    void startPicker(const QString& mode, const QString& env = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(env.section(u'=', 0, 0), env.section(u'=', 1));
        m_picker.setProcessEnvironment(environment);
        m_picker.start(QStringLiteral(QUILLSNAP_PICKER_PATH), {mode, m_out});
        QVERIFY(m_picker.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(mode == u"-x"_s || QFileInfo(m_ready).size() > 0, 5000);
    }

    int finishPicker()
    {
        // Spin the event loop while waiting, so the pattern can repaint.
        const QDeadlineTimer deadline(10000);
        while (m_picker.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            QTest::qWait(20);
        }
        return m_picker.state() != QProcess::NotRunning        ? -2
               : m_picker.exitStatus() == QProcess::NormalExit ? m_picker.exitCode()
                                                               : -1;
    }

    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files); }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
        QVERIFY2(!QStandardPaths::findExecutable(u"xdotool"_s).isEmpty(), "xdotool is needed");
        m_pattern.setFlags(Qt::Window | Qt::FramelessWindowHint);
        m_pattern.setGeometry(100, 100, 400, 300);
        m_pattern.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_pattern));
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 800));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_out = m_dir->filePath(u"shot.png"_s);
        m_ready = m_dir->filePath(u"ready"_s);
        qputenv("QUILLSNAP_PICKER_READY_FILE", QFile::encodeName(m_ready));
        // The previous overlay is gone and the pattern repainted before a new
        // picker freezes the screen; the reference is what it will see.
        QTRY_VERIFY_WITH_TIMEOUT((m_reference = grabScreen(),
                                  m_reference.pixelColor(150, 150) == QColor(Qt::red) &&
                                      m_reference.pixelColor(450, 350) == QColor(Qt::yellow)),
                                 5000);
        QVERIFY(xdotool(u"mousemove 640 700"_s));
    }

    void cleanup()
    {
        m_picker.kill();
        m_picker.waitForFinished();
        xdotool(u"mouseup 1"_s);
    }

    // Screens land where their native geometry puts them; what none covers
    // is black. (Xvfb has one screen: this is the only check of several.)
    void composeDesktop()
    {
        const QRect natives[] = {{0, 0, 1280, 800}, {1280, 0, 1920, 1080}, {-1024, 100, 1024, 768}};
        for (const QRect& second : {natives[1], natives[2]}) {
            QList<ScreenImage> screens;
            for (const QRect& native : {natives[0], second}) {
                screens.append(
                    {nullptr, {}, native, 1.0, QImage(native.size(), QImage::Format_RGB32)});
                screens.last().image.fill(screens.size() == 1 ? Qt::red : Qt::green);
            }
            const QImage desktop = CaptureFile::composeDesktop(screens);
            const QRect bounds = natives[0] | second;
            QCOMPARE(desktop.size(), bounds.size());
            QCOMPARE(desktop.pixelColor(natives[0].bottomRight() - bounds.topLeft()),
                     QColor(Qt::red));
            QCOMPARE(desktop.pixelColor(second.topLeft() - bounds.topLeft()), QColor(Qt::green));
            QCOMPARE(desktop.pixelColor(second.x() < 0 ? QPoint(0, 0) : QPoint(0, 1079)),
                     QColor(Qt::black));
        }
    }

    // What a drag, a click or a cancel leaves: the exit status and the file.
    // Columns: environment, input, status, the region of the screen the file
    // holds ("x y w h"; empty: no file).
    void interactive_data()
    {
        // clang-format off
        rows({u"→100,100>300,250→0→100 100 200 150", u"→300,250>100,100→0→100 100 200 150",
                 u"→250,200>350,300→0→250 200 100 100", u"→50,50>150,150→0→50 50 100 100",
                 u"→1000,600>1279,799→0→1000 600 280 200",
                 // Scaled, the picker works in logical pixels; the file holds the screen's own.
                 u"QT_SCALE_FACTOR=2→100,100>300,250→0→100 100 200 150",
                 u"QT_SCALE_FACTOR=2→1000,600>1279,799→0→1000 600 280 200",
                 // A drag along one axis encloses nothing and the picker stays.
                 u"→100,100>200,100 100,100>300,250→0→100 100 200 150",
                 // A click, two pixels of jitter included, picks the window under it.
                 u"→200,200>202,198→0→100 100 400 300", u"→420,330>422,328→0→100 100 400 300",
                 u"→1000,700>1002,698→0→0 0 1280 800", u"→key Escape→1→",
                 u"→mousemove 400 300 click 3→1→",
                 u"→mousemove 100 100 mousedown 1 mousemove 200 200 key Escape→1→",
                 u"→mousemove 100 100 mousedown 1 mousemove 200 200 click 3→1→"});
        // clang-format on
    }

    void interactive()
    {
        const QStringList f = fields();
        const QString& region = f[3];
        startPicker(u"-i"_s, f[0]);
        QVERIFY(xdotool(f[1]));
        QCOMPARE(QString::number(finishPicker()), f[2]);
        const QStringList expected = {u"ready"_s, u"shot.png"_s};
        QCOMPARE(files(), region.isEmpty() ? expected.first(1) : expected);
        if (!region.isEmpty()) {
            const QStringList r = region.split(u' ');
            QCOMPARE(fileMode(m_out), 0600);
            QCOMPARE(QImage(m_out).convertToFormat(QImage::Format_RGB32),
                     m_reference.copy(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt()));
        }
    }

    // The screen dimmed, the selection as it is with a frame just outside.
    void overlayShowsSelection()
    {
        startPicker(u"-i"_s);
        QVERIFY(qRed(grabScreen().pixel(150, 150)) < 200);
        QVERIFY(xdotool(u"mousemove 100 100 mousedown 1 mousemove 200 180 mousemove 300 250"_s));
        const QRgb border = qRgb(0x3d, 0xae, 0xe9);
        QImage screen;
        QTRY_COMPARE_WITH_TIMEOUT((screen = grabScreen()).pixel(99, 150), border, 5000);
        QCOMPARE(screen.pixel(300, 249), border);
        QCOMPARE(screen.copy(100, 100, 200, 150), m_reference.copy(100, 100, 200, 150));
        QVERIFY(xdotool(u"mouseup 1"_s));
        QCOMPARE(finishPicker(), 0);
    }

    // Ended from outside, the picker takes its overlay away and exits the
    // normal way, writing nothing; it also ends when its starter ends.
    void endsFromOutside_data() { rows({u"SIGTERM", u"SIGINT", u"parent ends"}); }

    void endsFromOutside()
    {
        const QString how = fields()[0];
        const int signal = how == u"SIGTERM" ? SIGTERM : how == u"SIGINT" ? SIGINT : 0;
        if (signal) {
            startPicker(u"-i"_s);
            ::kill(pid_t(m_picker.processId()), signal);
            QCOMPARE(finishPicker(), 1);
        } else {
            // A shell starts the picker and ends when its input closes.
            QProcess shell;
            shell.start(u"sh"_s, {u"-c"_s, u"\"$0\" -i \"$1\" & echo $!; read x"_s,
                                  QStringLiteral(QUILLSNAP_PICKER_PATH), m_out});
            QVERIFY(shell.waitForReadyRead());
            const QByteArray pid = shell.readLine().trimmed();
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_ready).size() > 0, 5000);
            shell.closeWriteChannel();
            QTRY_VERIFY_WITH_TIMEOUT(ended(pid), 5000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(grabScreen().pixelColor(150, 150), QColor(Qt::red), 5000);
        QCOMPARE(files(), QStringList{u"ready"_s});
    }

    // Columns: environment, whether a world-readable file is there already.
    void silent_data() { rows({u"→", u"QT_SCALE_FACTOR=2→", u"→stale"}); }

    void silent()
    {
        const QStringList f = fields();
        QFile old(m_out);
        QVERIFY(f[1].isEmpty() ||
                (old.open(QIODevice::WriteOnly) && old.write("stale") > 0 &&
                 old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther)));
        old.close();
        startPicker(u"-x"_s, f[0]);
        QCOMPARE(finishPicker(), 0);
        QCOMPARE(fileMode(m_out), 0600);
        // The test's own windows; a desktop notification may come and go elsewhere.
        const QImage shot = QImage(m_out).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.size(), m_reference.size());
        QCOMPARE(shot.copy(0, 0, 600, 400), m_reference.copy(0, 0, 600, 400));
        QCOMPARE(files(), QStringList{u"shot.png"_s}); // no overlay was shown
    }

    // Nothing is written or created; the message says why. Columns:
    // arguments, status.
    void badArguments_data()
    {
        rows({u"→2", u"-i→2", u"-i \"\"→2", u"-q a.png→2", u"a.png -x→2", u"-i a.png -x b.png→2",
              u"-i missing/shot.png→1", u"-x sub→1", u"-x locked/shot.png→1"});
    }

    void badArguments()
    {
        const QStringList f = fields();
        const QString& args = f[0];
        QDir dir(m_dir->path());
        QVERIFY(dir.mkdir(u"sub"_s) && dir.mkdir(u"locked"_s));
        QFile::setPermissions(dir.filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner);
        if (args.contains(u"locked"_s) && QFileInfo(dir.filePath(u"locked"_s)).isWritable()) {
            QSKIP("running as a user who may write anywhere");
        }
        m_picker.setWorkingDirectory(m_dir->path());
        m_picker.start(QStringLiteral(QUILLSNAP_PICKER_PATH), QProcess::splitCommand(args));
        QVERIFY(m_picker.waitForFinished());
        QCOMPARE(QString::number(m_picker.exitCode()), f[1]);
        const QByteArray err = m_picker.readAllStandardError();
        QVERIFY2(err.startsWith("quillsnap-screencapture: ") && !err.contains("\nqt."),
                 err.constData());
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList({u"locked"_s, u"sub"_s}));
        QVERIFY(QDir(dir.filePath(u"locked"_s))
                    .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QFile::setPermissions(dir.filePath(u"locked"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_MAIN(TestScreenCapture)
#include "tst_screencapture.moc"
