#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <vector>

struct CliContext
{
    QTextStream& in;
    QTextStream& out;
    QTextStream& err;
};

// One command of quillsnap-cli. Each command lives in its own file and
// registers itself with a static CliCommand::Registration.
class CliCommand
{
public:
    virtual ~CliCommand() = default;
    virtual QString name() const = 0;
    // One line for the overview of `quillsnap-cli --help`.
    virtual QString summary() const = 0;
    // The full text of `quillsnap-cli NAME --help`.
    virtual QString help() const = 0;
    // args: the arguments after the command name. Returns the exit status.
    virtual int run(const QStringList& args, CliContext& ctx) = 0;

    static std::vector<CliCommand*>& all();

    struct Registration
    {
        explicit Registration(CliCommand* command) { all().push_back(command); }
    };
};

// True when args asks for help (-h or --help anywhere).
bool wantsHelp(const QStringList& args);
