#pragma once

// What the display can do for the toasts. Backends live in src/platform/.
class DisplayCapabilities
{
public:
    virtual ~DisplayCapabilities() = default;
    // Whether translucent windows are blended with what lies below them. On
    // X11 that takes a compositing manager; without one, transparent pixels
    // show black and the toasts are drawn opaque instead.
    virtual bool blendsTranslucentWindows() const = 0;
    // Whether a window can put itself in the middle of the screen without
    // taking the focus. A Wayland toplevel cannot: the compositor places it,
    // and a tiling one gives it a tile and the focus. The confirmation then
    // goes out as a desktop notification.
    virtual bool placesToasts() const { return true; }
};
