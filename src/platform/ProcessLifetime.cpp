#include "platform/ProcessLifetime.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace ProcessLifetime {

namespace {

// The write end of the pipe the signal handler reports to.
int signalPipe = -1;

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    (void)!::write(signalPipe, &byte, 1);
    errno = saved;
}

} // namespace

bool endWithParent()
{
    bool ok = false;
    pid_t parent = qEnvironmentVariableIntValue("QUILLSNAP_PARENT_PID", &ok);
    if (!ok || parent <= 0) {
        parent = ::getppid();
    }
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // Had the parent ended before the request, no signal would come: the
    // process would already belong to another.
    return ::getppid() == parent;
}

void quitOnTerminationSignals(int status)
{
    int fds[2];
    if (signalPipe >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    signalPipe = fds[1];
    auto* notifier =
        new QSocketNotifier(fds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [status](QSocketDescriptor fd) {
                         char bytes[16];
                         (void)!::read(fd, bytes, sizeof bytes);
                         QCoreApplication::exit(status);
                     });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace ProcessLifetime
