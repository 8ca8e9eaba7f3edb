#pragma once

namespace ProcessSetup {

// Tesseract is built with OpenMP, whose worker threads make recognition
// several times slower on small images. The runtime reads OMP_THREAD_LIMIT
// only when the library is loaded, so setting it from main() is too late:
// when it is missing, set it and re-execute this program once. Returns only
// when the variable is in force (or re-execution failed, which is harmless).
void limitOpenMPThreads(char** argv);

// In a Wayland session, Qt's wayland platform, with xcb (XWayland) as the
// fallback when the plugin is missing. Qt itself picks xcb on GNOME, where
// screen grabs, global keys and the clipboard of an X11 client fail
// silently. An explicit QT_QPA_PLATFORM is left alone. Call before the
// application object; helper processes inherit the choice.
void preferWaylandPlatform();

} // namespace ProcessSetup
