// traywait: waits until the X display has a system tray, that is until the selection
// _NET_SYSTEM_TRAY_S<screen> has an owner (what a tray icon checks before it shows itself).
//
//   traywait [seconds]      wait at most that long (default 30)
//
// Exit status: 0 once a tray host owns the selection, 1 when the time ran out, 2 when the
// display cannot be opened or the argument is wrong.

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char *argv[])
{
    double seconds = 30;
    if (argc > 2 || (argc == 2 && (seconds = std::atof(argv[1])) <= 0)) {
        std::fprintf(stderr, "usage: %s [seconds]\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "traywait: cannot open display\n");
        return 2;
    }
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    int result = 1;
    for (;;) {
        if (XGetSelectionOwner(display, selection) != None) {
            result = 0;
            break;
        }
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XCloseDisplay(display);
    if (result != 0)
        std::fprintf(stderr, "traywait: no tray host after %g s\n", seconds);
    return result;
}
