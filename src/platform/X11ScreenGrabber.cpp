#include "platform/X11ScreenGrabber.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct FreeDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// A reparenting window manager puts each client inside a frame; the client
// lies a level or two below it. Deeper trees are application-internal.
constexpr int maxClientDepth = 3;

} // namespace

X11ScreenGrabber::X11ScreenGrabber(xcb_connection_t* connection) : m_connection(connection)
{
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    if (it.rem > 0) {
        m_root = it.data->root;
    }
    static const char name[] = "WM_STATE";
    const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 1, sizeof(name) - 1, name), nullptr));
    if (atom) {
        m_wmState = atom->atom;
    }
}

std::optional<QRect> X11ScreenGrabber::windowAt(QPoint nativePos, const QList<WId>& ignored)
{
    if (m_root == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());

    // Ask for every child's attributes and geometry in one go, then read the
    // answers: one round trip instead of two per window.
    std::vector<xcb_get_window_attributes_cookie_t> attrCookies(count);
    std::vector<xcb_get_geometry_cookie_t> geomCookies(count);
    for (int i = 0; i < count; ++i) {
        attrCookies[i] = xcb_get_window_attributes(m_connection, children[i]);
        geomCookies[i] = xcb_get_geometry(m_connection, children[i]);
    }
    xcb_window_t hit = XCB_WINDOW_NONE;
    // Children come bottom to top; keep the last match, i.e. the topmost.
    for (int i = 0; i < count; ++i) {
        const Reply<xcb_get_window_attributes_reply_t> attrs(
            xcb_get_window_attributes_reply(m_connection, attrCookies[i], nullptr));
        const Reply<xcb_get_geometry_reply_t> geom(
            xcb_get_geometry_reply(m_connection, geomCookies[i], nullptr));
        if (!attrs || !geom || ignored.contains(WId(children[i]))) {
            continue;
        }
        // Menus, tooltips and our own overlays are override-redirect; they are
        // not windows the user means to pick.
        if (attrs->map_state != XCB_MAP_STATE_VIEWABLE || attrs->override_redirect ||
            attrs->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            continue;
        }
        const int border = geom->border_width;
        const QRect frame(geom->x, geom->y, geom->width + 2 * border, geom->height + 2 * border);
        if (frame.contains(nativePos)) {
            hit = children[i];
        }
    }
    if (hit == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    const xcb_window_t client = findClient(hit, 0);
    return rootGeometry(client != XCB_WINDOW_NONE ? client : hit);
}

// The window carrying WM_STATE inside a frame, or none (no window manager).
xcb_window_t X11ScreenGrabber::findClient(xcb_window_t frame, int depth)
{
    if (hasWmState(frame)) {
        return frame;
    }
    if (depth >= maxClientDepth) {
        return XCB_WINDOW_NONE;
    }
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, frame), nullptr));
    if (!tree) {
        return XCB_WINDOW_NONE;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    for (int i = count - 1; i >= 0; --i) {
        if (const xcb_window_t client = findClient(children[i], depth + 1);
            client != XCB_WINDOW_NONE) {
            return client;
        }
    }
    return XCB_WINDOW_NONE;
}

bool X11ScreenGrabber::hasWmState(xcb_window_t window)
{
    if (m_wmState == XCB_ATOM_NONE) {
        return false;
    }
    const Reply<xcb_get_property_reply_t> prop(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, m_wmState, XCB_ATOM_ANY, 0, 0),
        nullptr));
    return prop && prop->type != XCB_ATOM_NONE;
}

std::optional<QRect> X11ScreenGrabber::rootGeometry(xcb_window_t window)
{
    const auto geomCookie = xcb_get_geometry(m_connection, window);
    const auto posCookie = xcb_translate_coordinates(m_connection, window, m_root, 0, 0);
    const Reply<xcb_get_geometry_reply_t> geom(
        xcb_get_geometry_reply(m_connection, geomCookie, nullptr));
    const Reply<xcb_translate_coordinates_reply_t> pos(
        xcb_translate_coordinates_reply(m_connection, posCookie, nullptr));
    if (!geom || !pos) {
        return std::nullopt;
    }
    return QRect(pos->dst_x, pos->dst_y, geom->width, geom->height);
}
