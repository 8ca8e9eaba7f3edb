// Presses key chords through XTEST, as a keyboard would, and prints the
// monotonic time (nanoseconds, the clock of std::chrono::steady_clock) at
// which the last chord's key went down: the start of the key-to-overlay
// measurement of run.sh.
//   bench_send_chord CHORD...     CHORD: keysym names joined by "+" (super+shift+8)

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display || argc < 2) {
        std::fprintf(stderr, "usage: bench_send_chord CHORD... (needs a display)\n");
        return 2;
    }
    long long pressedAt = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<KeyCode> keys;
        std::string chord = argv[i];
        for (size_t start = 0; start <= chord.size();) {
            size_t end = chord.find('+', start);
            if (end == std::string::npos) {
                end = chord.size();
            }
            std::string name = chord.substr(start, end - start);
            if (name == "super") {
                name = "Super_L";
            } else if (name == "shift") {
                name = "Shift_L";
            }
            const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name.c_str()));
            if (!code) {
                std::fprintf(stderr, "bench_send_chord: no key for %s\n", name.c_str());
                return 2;
            }
            keys.push_back(code);
            start = end + 1;
        }
        for (size_t k = 0; k < keys.size(); ++k) {
            if (k + 1 == keys.size()) {
                XSync(display, False);
                pressedAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
            }
            XTestFakeKeyEvent(display, keys[k], True, CurrentTime);
        }
        for (size_t k = keys.size(); k-- > 0;) {
            XTestFakeKeyEvent(display, keys[k], False, CurrentTime);
        }
        XSync(display, False);
    }
    std::printf("%lld\n", pressedAt);
    XCloseDisplay(display);
    return 0;
}
