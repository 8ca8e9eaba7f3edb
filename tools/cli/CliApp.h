#pragma once

#include <QStringList>
#include <QTextStream>

// The command-line front of quillsnap. Parses the arguments, runs one command
// and returns the process exit status. Output goes to out, errors to err.
class CliApp
{
public:
    CliApp(QTextStream& in, QTextStream& out, QTextStream& err);
    int run(const QStringList& arguments);

private:
    int usage(int status);

    QTextStream& m_in;
    QTextStream& m_out;
    QTextStream& m_err;
};
