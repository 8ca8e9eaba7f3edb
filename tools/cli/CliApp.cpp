#include "CliApp.h"

#include <algorithm>

std::vector<CliCommand*>& CliCommand::all()
{
    static std::vector<CliCommand*> commands;
    return commands;
}

bool wantsHelp(const QStringList& args)
{
    return args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"));
}

int CliApp::usage(int status)
{
    QTextStream& s = status == 0 ? m_ctx.out : m_ctx.err;
    s << "Usage: quillsnap-cli COMMAND [OPTIONS]\n\nCommands:\n";
    auto commands = CliCommand::all();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name() < b->name(); });
    for (const CliCommand* c : commands) {
        s << "  " << c->name().leftJustified(12) << " " << c->summary() << "\n";
    }
    s << "\nRun 'quillsnap-cli COMMAND --help' for the options of a command.\n";
    return status;
}

int CliApp::run(const QStringList& arguments)
{
    if (arguments.size() < 2) {
        return usage(2);
    }
    const QString name = arguments.at(1);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        return usage(0);
    }
    if (name == QLatin1String("--version")) {
        m_ctx.out << "quillsnap-cli " << QUILLSNAP_VERSION << "\n";
        return 0;
    }
    for (CliCommand* c : CliCommand::all()) {
        if (c->name() == name) {
            return c->run(arguments.mid(2), m_ctx);
        }
    }
    m_ctx.err << "quillsnap-cli: unknown command '" << name << "'\n";
    usage(2);
    return 2;
}
