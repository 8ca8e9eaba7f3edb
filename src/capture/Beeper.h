#pragma once

// The short alert sound played when a screenshot is cancelled or fails. The
// application plays the desktop's bell; tests count the calls.
class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};
