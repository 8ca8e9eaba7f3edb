#pragma once

#include "feedback/DisplayCapabilities.h"

// Asks the X server whether a compositing manager runs: the compositor of
// screen 0 owns the selection _NET_WM_CM_S0. Without an X11 connection
// (Wayland, offscreen) windows are always blended.
class X11DisplayCapabilities final : public DisplayCapabilities
{
public:
    bool blendsTranslucentWindows() const override;
};
