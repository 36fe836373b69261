// Modem lines for pseudo-terminals, preloaded (LD_PRELOAD) into a program under test: a pty has
// no RTS or DTR, so the tty layer refuses TIOCMBIS, TIOCMBIC, TIOCMSET and TIOCMGET on it. While
// the environment variable VELTARO_MODEM_LINES names a file, this library answers those four
// requests itself on a pty's slave side, keeps each pty's two lines (both asserted at first, as
// a serial driver leaves them once it has opened a device), and appends one line per call to the
// file: the request, its argument and the lines after it, as in
//   TIOCMBIC RTS -> RTS=0 DTR=1
// Every other call, and every call while the variable is unset, goes to the C library. Used by
// the Linux program's tests and, in the Wine process, by the Windows program's (Wine drives a
// COM port's lines with the same requests on the Unix side).
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

using Ioctl = int (*)(int, unsigned long, ...);

// The slave sides of Unix98 pseudo-terminals have these majors.
constexpr unsigned PtyMajorFirst = 136;
constexpr unsigned PtyMajorLast = 143;
constexpr int MaxPtys = 32;

pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
dev_t ptys[MaxPtys];
int lineBits[MaxPtys];
int ptyCount = 0;

bool ptySlave(int fd, dev_t* device) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    *device = st.st_rdev;
    return m >= PtyMajorFirst && m <= PtyMajorLast;
}

// The lines of the pty; nothing when too many ptys have been seen. Called under the lock.
int* linesOf(dev_t device) {
    for (int i = 0; i < ptyCount; ++i)
        if (ptys[i] == device)
            return &lineBits[i];
    if (ptyCount == MaxPtys)
        return nullptr;
    ptys[ptyCount] = device;
    lineBits[ptyCount] = TIOCM_RTS | TIOCM_DTR;
    return &lineBits[ptyCount++];
}

const char* requestName(unsigned long request) {
    switch (request) {
    case TIOCMBIS:
        return "TIOCMBIS";
    case TIOCMBIC:
        return "TIOCMBIC";
    case TIOCMSET:
        return "TIOCMSET";
    case TIOCMGET:
        return "TIOCMGET";
    default:
        return nullptr;
    }
}

void record(const char* path, const char* request, const int* argument, int lines) {
    char text[128];
    int n = std::snprintf(text, sizeof text, "%s", request);
    if (argument) {
        const int bits = *argument & (TIOCM_RTS | TIOCM_DTR);
        n += std::snprintf(text + n, sizeof text - n, " %s",
                           bits == (TIOCM_RTS | TIOCM_DTR) ? "RTS|DTR"
                           : bits == TIOCM_RTS             ? "RTS"
                           : bits == TIOCM_DTR             ? "DTR"
                                                           : "-");
    }
    n += std::snprintf(text + n, sizeof text - n, " -> RTS=%d DTR=%d\n", (lines & TIOCM_RTS) != 0,
                       (lines & TIOCM_DTR) != 0);
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (::write(fd, text, n) != n)
        std::fputs("modem lines shim: the record is incomplete\n", stderr);
    ::close(fd);
}

// Answers the request on the pty's lines; false when it is not one of the four or not a pty.
bool answer(int fd, unsigned long request, void* argument) {
    const char* path = std::getenv("VELTARO_MODEM_LINES");
    const char* name = requestName(request);
    dev_t device;
    if (!path || !*path || !name || !argument || !ptySlave(fd, &device))
        return false;
    int* given = static_cast<int*>(argument);
    pthread_mutex_lock(&lock);
    int* lines = linesOf(device);
    if (lines) {
        if (request == TIOCMBIS)
            *lines |= *given;
        else if (request == TIOCMBIC)
            *lines &= ~*given;
        else if (request == TIOCMSET)
            *lines = *given;
        else
            *given = *lines;
        record(path, name, request == TIOCMGET ? nullptr : given, *lines);
    }
    pthread_mutex_unlock(&lock);
    return lines != nullptr;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (answer(fd, request, argument))
        return 0;
    static const Ioctl next = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return next(fd, request, argument);
}
