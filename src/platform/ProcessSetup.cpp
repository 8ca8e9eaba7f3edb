#include "platform/ProcessSetup.h"

#include "common/DesktopEnvironment.h"

#include <cstdlib>
#include <unistd.h>

namespace ProcessSetup {

void limitOpenMPThreads(char** argv)
{
    if (std::getenv("OMP_THREAD_LIMIT") != nullptr) {
        return;
    }
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    ::execv("/proc/self/exe", argv);
    // execv only returns on failure; carry on with the default threads.
}

void preferWaylandPlatform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !DesktopEnvironment::current().wayland) {
        return;
    }
    qputenv("QT_QPA_PLATFORM", "wayland;xcb");
}

} // namespace ProcessSetup
