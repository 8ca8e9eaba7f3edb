#pragma once

#include "CliCommand.h"

// The command-line front of quillsnap: picks the command named by the first
// argument and runs it. Returns the process exit status.
class CliApp
{
    Q_DECLARE_TR_FUNCTIONS(CliApp)

public:
    CliApp(CliOutput& out, CliOutput& err) : m_out(out), m_err(err) {}
    // arguments as CliArguments::fromArgv gives them.
    int run(const QStringList& arguments);

private:
    QString help() const;
    int dispatch(const QStringList& arguments);
    int runCommand(CliCommand& command, const QStringList& arguments);

    CliOutput& m_out;
    CliOutput& m_err;
    QString m_command;
    int m_failureStatus = 1;
};
