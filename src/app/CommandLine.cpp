#include "app/CommandLine.h"

#include "common/CommandLineHelp.h"

#include <QCoreApplication>

namespace CommandLine {

Request parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine",
        "Start the quillsnap tray application, which turns a screen region into text on the "
        "clipboard. A second start hands over to the one already running.\n\n"
        "Run 'quillsnap-cli capture' or 'quillsnap-cli scan' to use its commands from a "
        "script or a keyboard shortcut."));
    const QCommandLineOption help = CommandLineHelp::helpOption();
    const QCommandLineOption version = CommandLineHelp::versionOption();
    parser.addOptions({help, version});
    // Qt's options are unknown here and make parse() fail; ours are still
    // recognised. Read as words, "-platformpluginpath" is not "-h" and more.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.parse(arguments);
    if (parser.isSet(help)) {
        return {Request::Action::help,
                CommandLineHelp::text(parser, QStringLiteral("quillsnap [options]"))};
    }
    if (parser.isSet(version)) {
        return {Request::Action::version,
                QStringLiteral("quillsnap %1\n").arg(QStringLiteral(QUILLSNAP_VERSION))};
    }
    return {};
}

} // namespace CommandLine
