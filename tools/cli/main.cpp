#include "CliApp.h"
#include "platform/ProcessSetup.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    ProcessSetup::limitOpenMPThreads(argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillsnap"));
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);
    CliContext ctx{in, out, err};
    const int status = CliApp(ctx).run(QCoreApplication::arguments());
    out.flush();
    err.flush();
    return status;
}
