#pragma once

#include "capture/ScreenGrabber.h"

#include <memory>

namespace ScreenGrabberFactory {

// The backend for the display system this process is connected to; call
// after QGuiApplication is set up.
std::unique_ptr<ScreenGrabber> create();

} // namespace ScreenGrabberFactory
