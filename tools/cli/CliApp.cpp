#include "CliApp.h"

#include "common/CommandLineHelp.h"

#include <algorithm>

namespace {

const QString program = QStringLiteral("quillsnap-cli");

} // namespace

std::vector<CliCommand*>& CliCommand::all()
{
    static std::vector<CliCommand*> commands;
    return commands;
}

void CliContext::error(const QString& message)
{
    err << (command.isEmpty() ? program : program + u' ' + command) << u": " << message << u"\n";
    err.flush();
}

int CliContext::usageError(const QString& message)
{
    error(message);
    err << CliApp::tr("Run '%1 --help' for usage.")
               .arg(command.isEmpty() ? program : program + u' ' + command)
        << u"\n";
    err.flush();
    return 2;
}

int CliContext::unexpectedArgument(const QString& argument)
{
    return usageError(CliApp::tr("unexpected argument '%1'")
                          .arg(CliOutput::printable(CliArguments::text(argument), false)));
}

QStringList CliArguments::fromArgv(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLatin1(argv[i]));
    }
    return arguments;
}

QString CliApp::help() const
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Turn screen regions and image files into text, as quillsnap does, and read the "
           "stored captures."));
    parser.addOption(CommandLineHelp::helpOption());
    parser.addOption(CommandLineHelp::versionOption());
    QString text =
        CommandLineHelp::text(parser, tr("%1 [options] <command> [<args>]").arg(program));
    text += u'\n' + tr("Commands:") + u'\n';
    auto commands = CliCommand::all();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name() < b->name(); });
    qsizetype width = 0;
    for (const CliCommand* c : commands) {
        width = std::max(width, c->name().size());
    }
    for (const CliCommand* c : commands) {
        text += QStringLiteral("  ") + c->name().leftJustified(width + 2) + c->summary() + u'\n';
    }
    text +=
        u'\n' + tr("Run '%1 <command> --help' for the options of a command.").arg(program) + u'\n';
    return text;
}

int CliApp::run(const QStringList& arguments)
{
    const int status = dispatch(arguments);
    // Closing reports what the last writes could not (a full disk over NFS).
    if (!m_out.close()) {
        CliContext{m_out, m_err, m_command}.error(
            tr("cannot write the output: %1").arg(m_out.errorString()));
        return std::max(status, m_failureStatus);
    }
    return status;
}

int CliApp::dispatch(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption helpOption = CommandLineHelp::helpOption();
    const QCommandLineOption versionOption = CommandLineHelp::versionOption();
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    CliContext ctx{m_out, m_err, {}};
    if (!parser.parse(arguments)) {
        return ctx.usageError(CommandLineHelp::errorMessage(parser));
    }
    if (parser.isSet(helpOption)) {
        m_out << help();
        return 0;
    }
    if (parser.isSet(versionOption)) {
        m_out << program << u' ' << QStringLiteral(QUILLSNAP_VERSION) << u'\n';
        return 0;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty()) {
        m_err << help();
        return 2;
    }
    for (CliCommand* command : CliCommand::all()) {
        if (command->name() == rest.first()) {
            return runCommand(*command, rest);
        }
    }
    return ctx.usageError(tr("unknown command '%1'")
                              .arg(CliOutput::printable(CliArguments::text(rest.first()), false)));
}

int CliApp::runCommand(CliCommand& command, const QStringList& arguments)
{
    m_command = command.name();
    m_failureStatus = command.failureStatus();
    CliContext ctx{m_out, m_err, m_command};
    QCommandLineParser parser;
    const QCommandLineOption helpOption = CommandLineHelp::helpOption();
    parser.addOption(helpOption);
    command.configure(parser);
    if (!parser.parse(arguments)) {
        return ctx.usageError(CommandLineHelp::errorMessage(parser));
    }
    if (parser.isSet(helpOption)) {
        m_out << CommandLineHelp::text(parser, program + u' ' + command.synopsis());
        return 0;
    }
    return command.run(parser, ctx);
}
