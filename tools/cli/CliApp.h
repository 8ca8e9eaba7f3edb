#pragma once

#include "CliCommand.h"

// The command-line front of quillsnap: picks the command named by the first
// argument and runs it. Returns the process exit status.
class CliApp
{
public:
    explicit CliApp(CliContext ctx) : m_ctx(ctx) {}
    int run(const QStringList& arguments);

private:
    int usage(int status);
    CliContext m_ctx;
};
