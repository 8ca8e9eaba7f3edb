#include "CliApp.h"

CliApp::CliApp(QTextStream& in, QTextStream& out, QTextStream& err) : m_in(in), m_out(out), m_err(err) {}

int CliApp::usage(int status)
{
    QTextStream& s = status == 0 ? m_out : m_err;
    s << "Usage: quillsnap-cli COMMAND [OPTIONS]\n\n"
         "Commands:\n"
         "  tidy                 clean up recognised text read from standard input\n"
         "  history list         list the stored captures, newest first\n"
         "  history search TEXT  list the captures whose text contains TEXT\n"
         "  history export       print the whole history (--format json|markdown)\n\n"
         "Run 'quillsnap-cli COMMAND --help' for the options of a command.\n";
    return status;
}

int CliApp::run(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") ||
        arguments.at(1) == QLatin1String("-h")) {
        return usage(arguments.size() < 2 ? 2 : 0);
    }
    m_err << "quillsnap-cli: unknown command '" << arguments.at(1) << "'\n";
    return usage(2);
}
