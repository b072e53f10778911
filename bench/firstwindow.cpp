// Starts a program and reports, once its first top-level window whose title starts with the
// given text is mapped, the time from exec to that moment and the program's resident memory
// then; it ends the program afterwards. Needs an X server (DISPLAY) without a window manager,
// so that top-level windows are the root window's children.
//
//   firstwindow <title> <program> [arguments...]   prints "<milliseconds> <resident KiB>"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

static bool titled(Display *display, Window window, const char *title)
{
    XTextProperty name;
    if (!XGetWMName(display, window, &name) || !name.value)
        return false;
    const bool match = std::strncmp(reinterpret_cast<char *>(name.value), title, std::strlen(title))
                       == 0;
    XFree(name.value);
    return match;
}

static long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: firstwindow <title> <program> [arguments...]\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && titled(display, event.xmap.window, argv[1]))
            break;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const long resident = residentKiB(child);
    std::printf("%.1f %ld\n", std::chrono::duration<double, std::milli>(elapsed).count(), resident);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    return 0;
}
