#include "CliApp.h"
#include "platform/ProcessSetup.h"

#include <QCoreApplication>

#include <unistd.h>

namespace {

// Qt's and the libraries' messages (libpng warnings, qt.gui.imageio) are for
// developers; standard error carries the tool's own messages only.
void dropLibraryMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        CliOutput err(STDERR_FILENO);
        err << QStringLiteral("quillsnap-cli: ") << message << u'\n';
        err.flush();
    }
}

} // namespace

int main(int argc, char** argv)
{
    ProcessSetup::limitOpenMPThreads(argv);
    qInstallMessageHandler(dropLibraryMessages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillsnap"));
    CliOutput out(STDOUT_FILENO);
    CliOutput err(STDERR_FILENO);
    const int status = CliApp(out, err).run(CliArguments::fromArgv(argc, argv));
    err.flush();
    return status;
}
