// Another X11 client for the end-to-end tests, doing what other programs of a
// desktop do:
//   x11_client hold KEYCODE MODIFIERS  grabs a key on the root window (as a
//                                      program with a global shortcut), prints
//                                      "held" and keeps it until killed
//   x11_client activate                changes _NET_ACTIVE_WINDOW on the root
//                                      window (as a window manager does)
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "x11_client: no display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0) {
        const auto keycode = xcb_keycode_t(std::strtoul(argv[2], nullptr, 0));
        const auto modifiers = uint16_t(std::strtoul(argv[3], nullptr, 0));
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, root, modifiers, keycode,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error) {
            std::fprintf(stderr, "x11_client: grab refused (%d)\n", error->error_code);
            return 1;
        }
        std::printf("held\n");
        std::fflush(stdout);
        for (;;) {
            pause();
        }
    }
    if (argc == 2 && std::strcmp(argv[1], "activate") == 0) {
        static const char name[] = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
        if (!atom) {
            return 1;
        }
        const uint32_t window = root;
        xcb_generic_error_t* error = xcb_request_check(
            c, xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, root, atom->atom,
                                           XCB_ATOM_WINDOW, 32, 1, &window));
        std::free(atom);
        std::free(error);
        xcb_disconnect(c);
        return error ? 1 : 0;
    }
    std::fprintf(stderr, "usage: x11_client hold KEYCODE MODIFIERS | activate\n");
    return 2;
}
