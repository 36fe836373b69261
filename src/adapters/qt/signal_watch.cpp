#include "adapters/qt/signal_watch.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltaro::qt {

namespace {

// The write end must be reachable from the handler, which can take no context.
int writeEnd = -1;
int readEnd = -1;

extern "C" void onSignal(int signo) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(writeEnd, &b, 1);
    errno = saved;
}

} // namespace

SignalWatch::SignalWatch(QObject* parent) : QObject(parent) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    readEnd = fds[0];
    writeEnd = fds[1];
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char b = 0;
        if (::read(readEnd, &b, 1) == 1)
            emit terminate(b);
    });
}

SignalWatch::~SignalWatch() {
    if (readEnd < 0)
        return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    notifier_.reset();
    ::close(readEnd);
    ::close(writeEnd);
    readEnd = writeEnd = -1;
}

} // namespace veltaro::qt
