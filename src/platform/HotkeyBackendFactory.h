#pragma once

#include "hotkeys/HotkeyBackend.h"

#include <memory>

// The hotkey backend for the session the application runs in.
namespace HotkeyBackendFactory {
std::unique_ptr<HotkeyBackend> create();
}
