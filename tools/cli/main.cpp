#include "CliApp.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillsnap"));
    QTextStream in(stdin);
    QTextStream out(stdout);
    QTextStream err(stderr);
    CliApp cli(in, out, err);
    const int status = cli.run(QCoreApplication::arguments());
    out.flush();
    err.flush();
    return status;
}
