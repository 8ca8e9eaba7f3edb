#pragma once

namespace ProcessSetup {

// Tesseract is built with OpenMP, whose worker threads make recognition
// several times slower on small images. The runtime reads OMP_THREAD_LIMIT
// only when the library is loaded, so setting it from main() is too late:
// when it is missing, set it and re-execute this program once. Returns only
// when the variable is in force (or re-execution failed, which is harmless).
void limitOpenMPThreads(char** argv);

} // namespace ProcessSetup
