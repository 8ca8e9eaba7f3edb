// quillsnap-screencapture: freezes the screen and lets the user pick a region
// (-i PATH), or writes the whole desktop (-x PATH), as a PNG of mode 0600.
// Exit status: 0 written, 1 cancelled or failed, 2 bad usage.

#include "CaptureFile.h"
#include "RegionPicker.h"
#include "common/CommandLineHelp.h"
#include "platform/ProcessLifetime.h"
#include "platform/ScreenGrabberFactory.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;
const QString program = QStringLiteral("quillsnap-screencapture");

int fail(const QString& message, int status = exitFailed)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(message));
    return status;
}

int usageError(const QString& message)
{
    fail(message, exitUsage);
    std::fprintf(
        stderr, "%s\n",
        qPrintable(QCoreApplication::translate("main", "Run '%1 --help' for usage.").arg(program)));
    return exitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    // First of all: the picker must not outlive the application that
    // started it, whose user would find an overlay nobody waits for.
    if (!ProcessLifetime::endWithParent()) {
        return exitFailed;
    }

    // Arguments before any connection to the display: bad usage, --help
    // and --version answer at once.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Freeze the screen and let the user pick a region or a window, or capture the "
                "whole desktop at once, and write it as a PNG file readable only by the user. "
                "Escape or a right click cancels.\n\n"
                "Exit status: 0 when the file was written, 1 when the user cancelled or the "
                "capture failed, 2 on bad usage."));
    const QCommandLineOption help = CommandLineHelp::helpOption();
    const QCommandLineOption version = CommandLineHelp::versionOption();
    const QCommandLineOption interactive(
        QStringLiteral("i"),
        QCoreApplication::translate("main", "Let the user pick a region or a window"),
        QStringLiteral("path"));
    const QCommandLineOption silent(
        QStringLiteral("x"), QCoreApplication::translate("main", "Capture the whole desktop"),
        QStringLiteral("path"));
    parser.addOptions({help, version, interactive, silent});
    if (!parser.parse(arguments)) {
        return usageError(CommandLineHelp::errorMessage(parser));
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(CommandLineHelp::text(
                       parser, program + QStringLiteral(" -i <path> | -x <path>"))),
                   stdout);
        return exitWritten;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(program), QUILLSNAP_VERSION);
        return exitWritten;
    }
    const QStringList paths = parser.values(interactive) + parser.values(silent);
    if (paths.size() != 1 || paths.first().isEmpty() || !parser.positionalArguments().isEmpty()) {
        return usageError(QCoreApplication::translate("main", "expected -i <path> or -x <path>"));
    }
    const bool isInteractive = parser.isSet(interactive);
    const QString path = paths.first();
    if (const auto ok = CaptureFile::checkDestination(path); !ok) {
        return fail(ok.error());
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(program);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Ended from outside, the picker closes its overlay and writes nothing.
    ProcessLifetime::quitOnTerminationSignals(exitFailed);

    const std::unique_ptr<ScreenGrabber> grabber = ScreenGrabberFactory::create();
    QList<ScreenImage> screens = grabber->grabScreens();
    if (screens.isEmpty()) {
        return fail(QCoreApplication::translate("main", "cannot read the screen"));
    }

    if (!isInteractive) {
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
