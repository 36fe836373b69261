// veltaro-steppir-sim: plays the antenna controller's computer port (Data Out) on a pty or on a
// loopback TCP port, for tests and the demo. Each frame it receives is logged on stderr.
#include "controller_model.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

using namespace veltaro::sim;

namespace {

volatile std::sig_atomic_t stopping = 0;

struct Options {
    ModelOptions model;
    std::string link; // a symlink to the pty's slave
    int tcpPort = -1; // -1: a pty
};

[[noreturn]] void usage(const char* why) {
    std::cerr << "veltaro-steppir-sim: " << why << "\n"
              << "usage: veltaro-steppir-sim [--link PATH | --tcp PORT] [--khz-per-s N]\n"
              << "       [--start-hz HZ] [--drop N] [--drop-first K]\n"
              << "       [--silent | --echo | --junk | --flood]\n";
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(("a value is missing after " + arg).c_str());
            return argv[++i];
        };
        try {
            if (arg == "--link")
                o.link = value();
            else if (arg == "--tcp")
                o.tcpPort = std::stoi(value());
            else if (arg == "--khz-per-s")
                o.model.khzPerS = std::stod(value());
            else if (arg == "--start-hz")
                o.model.startHz = std::stoll(value());
            else if (arg == "--drop")
                o.model.dropEvery = std::stoi(value());
            else if (arg == "--drop-first")
                o.model.dropFirst = std::stoi(value());
            else if (arg == "--silent" || arg == "--echo" || arg == "--junk" || arg == "--flood")
                o.model.peer = arg == "--silent" ? Peer::Silent
                               : arg == "--echo" ? Peer::Echo
                               : arg == "--junk" ? Peer::Junk
                                                 : Peer::Flood;
            else
                usage(("unknown option " + arg).c_str());
        } catch (const std::logic_error&) {
            usage(("a bad value for " + arg).c_str());
        }
    }
    if (o.tcpPort > 65535 || o.model.khzPerS <= 0 || o.model.dropEvery < 0 || o.model.dropFirst < 0)
        usage("a value is out of range");
    return o;
}

[[noreturn]] void fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

// The pty's master; its slave is opened here too and kept open, raw, so that a host closing
// it neither hangs the master up nor leaves the line discipline echoing.
int openPty(const std::string& link) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        fail("pty");
    const std::string slave = ptsname(master);
    const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (keep < 0 || tcgetattr(keep, &raw) != 0)
        fail(slave.c_str());
    cfmakeraw(&raw);
    tcsetattr(keep, TCSANOW, &raw);
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(slave.c_str(), link.c_str()) != 0)
            fail(link.c_str());
    }
    std::cout << slave << std::endl;
    return master;
}

int listenTcp(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd, 1) != 0)
        fail("tcp");
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    std::cout << "127.0.0.1:" << ntohs(address.sin_port) << std::endl;
    return fd;
}

// Writes what the peer takes now; the rest waits in `out`. False when the peer has gone.
bool flush(int fd, std::string& out) {
    while (!out.empty()) {
        const ssize_t n = write(fd, out.data(), out.size());
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        out.erase(0, static_cast<std::size_t>(n));
    }
    return true;
}

class Server {
public:
    Server(const Options& options)
        : options_(options),
          model_(options.model, [](const std::string& line) { std::cerr << line << std::endl; }) {}

    int run();

private:
    bool serve(short events);
    void accept();

    const Options& options_;
    ControllerModel model_;
    int listener_ = -1, peer_ = -1;
    std::string out_;
};

void Server::accept() {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (peer_ >= 0)
        close(peer_);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    peer_ = fd;
    out_.clear();
    model_.resetLink();
}

// Reads and answers what came; false when the TCP peer has gone.
bool Server::serve(short events) {
    const auto now = Clock::now();
    if (events & POLLIN) {
        char buffer[512];
        const ssize_t n = read(peer_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return false;
        if (n > 0)
            out_ += model_.receive(std::string_view(buffer, static_cast<std::size_t>(n)), now);
    }
    if (options_.model.peer == Peer::Flood && out_.size() < 4096)
        out_ += model_.floodBlock(now);
    return flush(peer_, out_) && !(events & (POLLHUP | POLLERR));
}

int Server::run() {
    if (options_.tcpPort >= 0)
        listener_ = listenTcp(options_.tcpPort);
    else
        peer_ = openPty(options_.link);
    while (!stopping) {
        pollfd fds[2] = {{peer_, POLLIN, 0}, {listener_, POLLIN, 0}};
        if (!out_.empty() || options_.model.peer == Peer::Flood)
            fds[0].events |= POLLOUT;
        // Looked at again soon while the elements move, so that the log follows them.
        const int wait = model_.advance(Clock::now()) ? 20 : 500;
        if (poll(fds, 2, wait) < 0 && errno != EINTR)
            fail("poll");
        if (fds[1].revents & POLLIN)
            accept();
        if (peer_ >= 0 && fds[0].revents && !serve(fds[0].revents) && listener_ >= 0) {
            close(peer_);
            peer_ = -1;
        }
    }
    if (!options_.link.empty())
        unlink(options_.link.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    struct sigaction stop {};
    stop.sa_handler = [](int) { stopping = 1; };
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return Server(options).run();
}
