// The simulator on a real pty, as far as the other tests rely on it: a set frame moves the
// elements, and the status shows the motors running, then stopped at the frequency set.
#include "protocols/steppir_frames.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

using namespace veltaro::steppir;

namespace {

class Simulator {
public:
    // Starts it and opens its pty, raw.
    explicit Simulator(const char* speed) {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            execl(VELTARO_STEPPIR_SIM, VELTARO_STEPPIR_SIM, "--khz-per-s", speed, "--start-hz",
                  "7000000", nullptr);
            _exit(127);
        }
        close(out[1]);
        std::string path;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            path += c;
        close(out[0]);
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(fd_, &raw);
        cfmakeraw(&raw);
        tcsetattr(fd_, TCSANOW, &raw);
    }
    ~Simulator() {
        close(fd_);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    bool ready() const { return fd_ >= 0; }
    void send(const std::string& bytes) {
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Asks for the status; the reply, if one comes within a second.
    std::optional<Status> status() {
        send(statusRequest());
        StatusDecoder decoder;
        for (pollfd p{fd_, POLLIN, 0}; poll(&p, 1, 1000) > 0;) {
            char buffer[64];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            if (auto reply = decoder.feed(std::string_view(buffer, n)))
                return reply;
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
};

} // namespace

TEST(SteppirSimulator, ASetFrameRunsTheMotorsThenStopsAtTheFrequency) {
    Simulator sim("400"); // 7.000 to 7.243 MHz in about 0.6 s
    ASSERT_TRUE(sim.ready());
    sim.send(*encodeSetFrame(7'243'000, Direction::Reverse));
    bool sawMotors = false;
    std::optional<Status> last;
    for (int i = 0; i < 40 && !(sawMotors && last && !last->busy && !last->motorsRunning); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        last = sim.status();
        ASSERT_TRUE(last);
        sawMotors |= !last->busy && last->motorsRunning;
    }
    EXPECT_TRUE(sawMotors);
    EXPECT_FALSE(last->busy);
    EXPECT_FALSE(last->motorsRunning);
    EXPECT_EQ(last->hz, 7'243'000); // its frequency bytes hold 0D
    EXPECT_EQ(last->direction, Direction::Reverse);
}
