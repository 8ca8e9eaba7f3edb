#pragma once

#include <QString>
#include <QStringList>

// What the tray application was asked on its command line.
namespace CommandLine {

struct Request
{
    enum class Action { run, help, version };
    Action action = Action::run;
    // For help and version: what to print on standard output.
    QString text;
};

// arguments as in argv (program name first), read before QApplication is
// made so that --help and --version need no display. Anything else is left
// to QApplication, which takes Qt's own options (-platform, -display ...)
// and ignores the rest, as the application always has.
Request parse(const QStringList& arguments);

} // namespace CommandLine
