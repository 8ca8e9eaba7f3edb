#pragma once

// How a helper process ends with the program that started it.
namespace ProcessLifetime {

// Asks the kernel to send SIGTERM to this process when its parent ends, so
// that a helper (the region picker) never outlives the application. Call it
// first thing in main(). The parent is the one named by QUILLSNAP_PARENT_PID
// when set, else the one this process had when it was first asked; false
// when that parent has already gone, and the caller should exit.
bool endWithParent();

// Turns SIGTERM, SIGINT and SIGHUP into QCoreApplication::exit(status), so
// that the event loop returns and the process ends the normal way: windows
// closed, nothing half written. Call once the application object exists.
void quitOnTerminationSignals(int status);

} // namespace ProcessLifetime
