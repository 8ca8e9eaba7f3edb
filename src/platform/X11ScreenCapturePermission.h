#pragma once

#include "capture/ScreenCapturePermission.h"

// Any X11 client may read the root window, so there is nothing to grant.
class X11ScreenCapturePermission final : public ScreenCapturePermission
{
public:
    bool isGranted() const override { return true; }
    bool asksUser() const override { return false; }
};
