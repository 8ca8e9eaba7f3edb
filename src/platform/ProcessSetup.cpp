#include "platform/ProcessSetup.h"

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

} // namespace ProcessSetup
