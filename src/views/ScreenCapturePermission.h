#pragma once

// Whether this process may read the screen, as the onboarding permission page
// asks it. A check never prompts the user; prompting is the probe's job.
class ScreenCapturePermission
{
public:
    virtual ~ScreenCapturePermission() = default;
    virtual bool isGranted() const = 0;
};

// Any X11 client may read the root window, so there is nothing to grant.
class X11ScreenCapturePermission final : public ScreenCapturePermission
{
public:
    bool isGranted() const override { return true; }
};
