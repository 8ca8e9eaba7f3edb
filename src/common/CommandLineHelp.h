#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

// What the three executables share in their command lines, so that their
// help reads alike: option and command descriptions are capitalised phrases
// without a final full stop ("Show this help"), metavariables are lower case
// in angle brackets ("<file>"), and error messages are lower case after the
// program's name ("quillsnap-cli: unknown option '--fast'").
namespace CommandLineHelp {

QCommandLineOption helpOption();
QCommandLineOption versionOption();

// The parser's help with its first line replaced by "Usage: " + usage
// (Qt names the executable by its full path and knows no subcommands).
QString text(const QCommandLineParser& parser, const QString& usage);

// Why parsing failed, in the style above.
QString errorMessage(const QCommandLineParser& parser);

} // namespace CommandLineHelp
