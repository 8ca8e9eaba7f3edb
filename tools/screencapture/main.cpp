// quillsnap-screencapture: freezes the screen and lets the user pick a region
// (-i PATH), or writes the whole desktop (-x PATH), as a PNG of mode 0600.
// Exit status: 0 written, 1 cancelled or failed, 2 bad usage.

#include "CaptureFile.h"
#include "RegionPicker.h"
#include "ScreenGrabber.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

namespace {

enum class Mode { Interactive, Silent };

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

void printUsage(std::FILE* to)
{
    std::fputs("usage: quillsnap-screencapture -i PATH   pick a region or a window\n"
               "       quillsnap-screencapture -x PATH   capture the whole desktop\n"
               "Writes a PNG readable only by you. Escape or a right click cancels (status 1).\n",
               to);
}

int fail(const QString& message)
{
    std::fprintf(stderr, "quillsnap-screencapture: %s\n", qPrintable(message));
    return exitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    // Arguments first, before any connection to the display: bad usage and
    // --version answer at once.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("quillsnap-screencapture %s\n", QUILLSNAP_VERSION);
        return exitWritten;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        printUsage(stdout);
        return exitWritten;
    }
    if (argc != 3 || (std::strcmp(argv[1], "-i") != 0 && std::strcmp(argv[1], "-x") != 0) ||
        argv[2][0] == '\0') {
        std::fputs("quillsnap-screencapture: expected -i PATH or -x PATH\n", stderr);
        printUsage(stderr);
        return exitUsage;
    }
    const Mode mode = std::strcmp(argv[1], "-i") == 0 ? Mode::Interactive : Mode::Silent;
    const QString path = QFile::decodeName(argv[2]);
    if (const auto ok = CaptureFile::checkDestination(path); !ok) {
        return fail(ok.error());
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("quillsnap-screencapture"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    const std::unique_ptr<ScreenGrabber> grabber = ScreenGrabber::create();
    QList<ScreenImage> screens = grabber->grabScreens();
    if (screens.isEmpty()) {
        return fail(QStringLiteral("cannot read the screen"));
    }

    if (mode == Mode::Silent) {
        const Expected<void, QString> written =
            CaptureFile::write(CaptureFile::composeDesktop(screens), path);
        return written ? exitWritten : fail(written.error());
    }

    RegionPicker picker(*grabber, std::move(screens), path);
    QObject::connect(&picker, &RegionPicker::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    picker.show();
    // QGuiApplication::exec() would first set up the accessibility bridge,
    // which blocks on connecting to the session bus, before the overlay's
    // first frame; the plain event loop leaves that to the overlay's
    // activation, once it is up.
    return QCoreApplication::exec();
}
