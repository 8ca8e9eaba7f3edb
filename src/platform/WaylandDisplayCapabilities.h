#pragma once

#include "feedback/DisplayCapabilities.h"

// A Wayland compositor always blends translucent windows, but places every
// toplevel itself: toasts become desktop notifications.
class WaylandDisplayCapabilities final : public DisplayCapabilities
{
public:
    bool blendsTranslucentWindows() const override { return true; }
    bool placesToasts() const override { return false; }
};
