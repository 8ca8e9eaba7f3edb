#pragma once

#include "capture/QtScreenGrabber.h"

#include <xcb/xcb.h>

// The X11 backend: grabs through Qt and finds windows by walking the root
// window's children, topmost first.
class X11ScreenGrabber final : public QtScreenGrabber
{
public:
    explicit X11ScreenGrabber(xcb_connection_t* connection);

    std::optional<QRect> windowAt(QPoint nativePos, const QList<WId>& ignored) override;

private:
    xcb_window_t findClient(xcb_window_t frame, int depth);
    bool hasWmState(xcb_window_t window);
    std::optional<QRect> rootGeometry(xcb_window_t window);

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_wmState = XCB_ATOM_NONE;
};
