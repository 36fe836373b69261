// How long a window's event loop takes to answer: sends _NET_WM_PING to the window COUNT times,
// INTERVAL ms apart, and prints each round trip in milliseconds ("timeout" after 10 s).
// The toolkit answers the ping from its event loop, so a busy loop shows as a slow answer.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WINDOW-ID COUNT INTERVAL-MS\n", argv[0]);
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        return 1;
    const Window win = std::strtoul(argv[1], nullptr, 0);
    const int count = std::atoi(argv[2]);
    const int interval = std::atoi(argv[3]);
    const Window root = DefaultRootWindow(dpy);
    const Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    // The toolkit sends its answer to the root window for StructureNotify and
    // SubstructureRedirect listeners; the window manager holds the redirect, so listen for the
    // structure notifications.
    XSelectInput(dpy, root, StructureNotifyMask);
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < count; ++i) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = win;
        ev.xclient.message_type = protocols;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(ping);
        ev.xclient.data.l[1] = 1000 + i; // stands in for the timestamp, identifies the answer
        ev.xclient.data.l[2] = static_cast<long>(win);
        const auto start = Clock::now();
        XSendEvent(dpy, win, False, NoEventMask, &ev);
        XFlush(dpy);
        bool answered = false;
        while (!answered && Clock::now() - start < std::chrono::seconds(10)) {
            while (XPending(dpy)) {
                XEvent got;
                XNextEvent(dpy, &got);
                if (got.type == ClientMessage && got.xclient.window == root &&
                    static_cast<Atom>(got.xclient.data.l[0]) == ping &&
                    got.xclient.data.l[1] == 1000 + i)
                    answered = true;
            }
            if (!answered) {
                pollfd p{ConnectionNumber(dpy), POLLIN, 0};
                poll(&p, 1, 10);
            }
        }
        if (answered)
            std::printf("%.2f\n",
                        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        else
            std::printf("timeout\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    }
    XCloseDisplay(dpy);
    return 0;
}
