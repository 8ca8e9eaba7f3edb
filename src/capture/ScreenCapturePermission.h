#pragma once

// Whether this process may read the screen. A check never prompts the user;
// prompting is the permission probe's job. Backends live in src/platform/.
class ScreenCapturePermission
{
public:
    virtual ~ScreenCapturePermission() = default;
    virtual bool isGranted() const = 0;
    // Whether the desktop asks the user before it lets an application read
    // the screen (a Wayland portal does; X11 never does).
    virtual bool asksUser() const = 0;
};
