// quillsnap-screencapture: freezes the screen and lets the user pick a region
// (-i PATH), or writes the whole desktop (-x PATH) or one region of it
// (-R X,Y,W,H PATH), as a PNG of mode 0600.
// Exit status: 0 written, 1 cancelled or failed, 2 bad usage, 3 the desktop
// refused to let us read the screen.

#include "CaptureFile.h"
#include "RegionPicker.h"
#include "capture/DesktopImageLayout.h"
#include "common/CaptureRegion.h"
#include "common/CommandLineHelp.h"
#include "platform/ProcessLifetime.h"
#include "platform/ProcessSetup.h"
#include "platform/ScreenGrabberFactory.h"

#include <QFile>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;
constexpr int exitRefused = 3;
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

// The part of the desktop at a logical region, from the screen it mostly
// lies on, in that screen's pixels.
QImage cropRegion(const QList<ScreenImage>& screens, const QRect& region)
{
    QList<QRect> geometries;
    for (const ScreenImage& shot : screens) {
        geometries.append(shot.geometry);
    }
    const int index = DesktopImageLayout::screenFor(region, geometries);
    if (index < 0) {
        return {};
    }
    const ScreenImage& shot = screens.at(index);
    const QRect local = (region & shot.geometry).translated(-shot.geometry.topLeft());
    return shot.image.copy(
        DesktopImageLayout::toImage(local, shot.geometry.size(), shot.image.size()));
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
    const QCommandLineOption regionOption(
        QStringLiteral("R"),
        QCoreApplication::translate(
            "main", "Capture the region X,Y,W,H of the desktop (logical pixels); with -x"),
        QStringLiteral("x,y,w,h"));
    parser.addOptions({help, version, interactive, silent, regionOption});
    if (!parser.parse(arguments)) {
        return usageError(CommandLineHelp::errorMessage(parser));
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(CommandLineHelp::text(
                       parser, program + QStringLiteral(" -i <path> | -x <path> [-R x,y,w,h]"))),
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
    std::optional<QRect> region;
    if (parser.isSet(regionOption)) {
        const auto parsed = CaptureRegion::parse(parser.value(regionOption));
        if (!parsed) {
            return usageError(parsed.error());
        }
        if (isInteractive) {
            return usageError(QCoreApplication::translate("main", "-R goes with -x, not -i"));
        }
        region = *parsed;
    }
    const QString path = paths.first();
    if (const auto ok = CaptureFile::checkDestination(path); !ok) {
        return fail(ok.error());
    }

    ProcessSetup::preferWaylandPlatform();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(program);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Ended from outside, the picker closes its overlay and writes nothing.
    ProcessLifetime::quitOnTerminationSignals(exitFailed);

    const std::unique_ptr<ScreenGrabber> grabber = ScreenGrabberFactory::create();
    std::unique_ptr<RegionPicker> picker;
    const auto grabbed = [&](GrabResult screens) {
        if (!screens) {
            const bool refused = screens.error() == GrabError::denied;
            QCoreApplication::exit(fail(
                refused ? QCoreApplication::translate("main", "the desktop refused the screenshot")
                        : QCoreApplication::translate("main", "cannot read the screen"),
                refused ? exitRefused : exitFailed));
            return;
        }
        if (!isInteractive) {
            const QImage image =
                region ? cropRegion(*screens, *region) : CaptureFile::composeDesktop(*screens);
            if (image.isNull()) {
                QCoreApplication::exit(fail(
                    QCoreApplication::translate("main", "the region lies outside every screen")));
                return;
            }
            const Expected<void, QString> written = CaptureFile::write(image, path);
            QCoreApplication::exit(written ? exitWritten : fail(written.error()));
            return;
        }
        picker = std::make_unique<RegionPicker>(*grabber, std::move(*screens), path);
        QObject::connect(picker.get(), &RegionPicker::finished, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        picker->show();
    };
    // The grab may wait for the desktop (a portal); it starts once the event
    // loop runs, so that its answer can end the loop.
    QTimer::singleShot(0, &app, [&] { grabber->grabScreensAsync(grabbed); });
    // QGuiApplication::exec() would first set up the accessibility bridge,
    // which blocks on connecting to the session bus, before the overlay's
    // first frame; the plain event loop leaves that to the overlay's
    // activation, once it is up.
    const int status = QCoreApplication::exec();
    picker.reset();
    return status;
}
