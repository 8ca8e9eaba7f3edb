#pragma once

#include "CliOutput.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <vector>

// Where a command writes, and the name it signs its messages with.
struct CliContext
{
    CliOutput& out;
    CliOutput& err;
    QString command;

    // "quillsnap-cli COMMAND: message" on standard error.
    void error(const QString& message);
    // error(), a pointer to --help, and the exit status of bad usage.
    int usageError(const QString& message);
    int unexpectedArgument(const QString& argument);
};

// The command line reaches the parsers with each byte of argv as one Latin-1
// character, so that a file name that is not UTF-8 passes through intact.
namespace CliArguments {
QStringList fromArgv(int argc, char** argv);
// An argument as the system's bytes, for a file name.
inline QByteArray bytes(const QString& argument)
{
    return argument.toLatin1();
}
// An argument as text, decoded as the locale says.
inline QString text(const QString& argument)
{
    return QString::fromLocal8Bit(argument.toLatin1());
}
} // namespace CliArguments

// One command of quillsnap-cli. Each command lives in its own file and
// registers itself with a static CliCommand::Registration.
class CliCommand
{
public:
    virtual ~CliCommand() = default;
    virtual QString name() const = 0;
    // One phrase for the list of commands.
    virtual QString summary() const = 0;
    // What follows "Usage: " in the command's help.
    virtual QString synopsis() const = 0;
    // Declares the command's description, options and arguments.
    virtual void configure(QCommandLineParser& parser) const = 0;
    // Runs with the parsed arguments; returns the exit status.
    virtual int run(const QCommandLineParser& parser, CliContext& ctx) = 0;
    // The exit status of a failure, such as output that cannot be written.
    virtual int failureStatus() const { return 1; }

    static std::vector<CliCommand*>& all();

    struct Registration
    {
        explicit Registration(CliCommand* command) { all().push_back(command); }
    };
};
