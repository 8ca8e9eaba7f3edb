#pragma once

#include "capture/ScreenGrabber.h"

// Grabs screens through QScreen::grabWindow, which works wherever Qt may read
// the screen (the root window on X11). Knows nothing about windows: a click
// then picks the whole screen.
class QtScreenGrabber : public ScreenGrabber
{
public:
    QList<ScreenImage> grabScreens() override;
    std::optional<QRect> windowAt(QPoint nativePos, const QList<WId>& ignored) override;
};
