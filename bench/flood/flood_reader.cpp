// A virtual antenna controller for the flood benchmark: opens a pty, links its slave side at the
// given path, and reads from the master no faster than a 4800-baud line delivers (480 bytes/s),
// so that whatever the program queues shows up as delay. Each complete command is printed with
// its arrival time (CLOCK_MONOTONIC, ns): "<ns> FA...;"; a SIGUSR1 prints "<ns> MARK" with the
// moment it arrived, for the caller to time against. Runs until SIGTERM or SIGINT.
#include <pty.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stop = 0;
volatile long long markNs = 0; // SIGUSR1: the moment the caller calls "now"

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LINK-PATH\n", argv[0]);
        return 2;
    }
    int master = -1, slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    unlink(argv[1]);
    if (symlink(name, argv[1]) != 0) {
        std::perror("symlink");
        return 1;
    }
    std::signal(SIGTERM, [](int) { stop = 1; });
    std::signal(SIGINT, [](int) { stop = 1; });
    std::signal(SIGUSR1, [](int) { markNs = nowNs(); });
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // 48 bytes every 100 ms: 480 bytes/s, one 14-byte command per 29 ms on average.
    constexpr int chunk = 48;
    constexpr long periodNs = 100000000;
    std::string pending;
    long long next = nowNs();
    while (!stop) {
        next += periodNs;
        timespec until{static_cast<time_t>(next / 1000000000LL),
                       static_cast<long>(next % 1000000000LL)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR && !stop) {
        }
        if (markNs != 0) {
            std::printf("%lld MARK\n", static_cast<long long>(markNs));
            markNs = 0;
        }
        char buf[chunk];
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(master, &fds);
        timeval zero{0, 0};
        if (select(master + 1, &fds, nullptr, nullptr, &zero) <= 0)
            continue;
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            continue;
        const long long t = nowNs();
        pending.append(buf, static_cast<std::size_t>(n));
        for (auto end = pending.find(';'); end != std::string::npos; end = pending.find(';')) {
            std::printf("%lld %s\n", t, pending.substr(0, end + 1).c_str());
            pending.erase(0, end + 1);
        }
    }
    unlink(argv[1]);
    close(slave);
    close(master);
    return 0;
}
