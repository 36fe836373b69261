// Latency from veltaro-link-publisher publishing a frequency to the controller command at a pty,
// through the real veltaro program (Commander link), beside a floor measured in the same run: a
// bare client that receives the same D-Bus signal and writes the pty. Prints figures; asserts
// nothing.
//   bench_latency [--changes N]
#include "bus_fixture.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace testing_support;
using Clock = std::chrono::steady_clock;

namespace {

const QString CommanderName = QStringLiteral("org.veltaro.Link.CI_2dV_20Commander");

// The floor: receives Advise and writes an equivalent command, nothing else.
class FloorClient : public QObject {
    Q_OBJECT
public:
    explicit FloorClient(int fd) : fd_(fd) {}
public slots:
    void advise(const QString&, const QString& khz) {
        const auto hz = static_cast<long long>(khz.toDouble() * 1000.0 + 0.5);
        char cmd[32];
        const int n = std::snprintf(cmd, sizeof cmd, "FA%011lld;", hz);
        [[maybe_unused]] const ssize_t w = ::write(fd_, cmd, static_cast<size_t>(n));
    }

private:
    int fd_;
};

int runFloorClient(const QString& ptyPath) {
    const int fd = ::open(ptyPath.toLocal8Bit().constData(), O_WRONLY | O_NOCTTY);
    if (fd < 0)
        return 1;
    FloorClient client(fd);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.connect(CommanderName, QStringLiteral("/DDEServer"),
                     QStringLiteral("org.veltaro.Link"), QStringLiteral("Advise"),
                     {QStringLiteral("XmitFreq")}, QStringLiteral("ss"), &client,
                     SLOT(advise(QString, QString))))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

class Pty {
public:
    Pty() {
        ::openpty(&master_, &slave_, nullptr, nullptr, nullptr);
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        path_ = QString::fromLocal8Bit(::ttyname(slave_));
    }
    ~Pty() {
        ::close(master_);
        ::close(slave_);
    }
    const QString& path() const { return path_; }
    // Waits for `count` bytes; false after ms.
    bool read(int count, int ms) {
        char buf[256];
        int have = 0;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (have < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{master_, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                return false;
            have += static_cast<int>(n);
        }
        return true;
    }
    void flush() { ::tcflush(master_, TCIOFLUSH); }

private:
    int master_ = -1, slave_ = -1;
    QString path_;
};

struct Figures {
    double median = 0, p99 = 0;
    int n = 0, lost = 0;
};

// Publishes `changes` values 20 kHz apart and times each until its command is at the pty.
Figures measure(Child& publisher, Pty& pty, int changes) {
    std::vector<double> ms;
    Figures f;
    for (int i = 1; i <= changes; ++i) {
        const qint64 hz = 14'000'000 + static_cast<qint64>(i % 500) * 20'000;
        pty.flush();
        const auto t0 = Clock::now();
        publisher.process().write(QByteArray::number(hz) + '\n');
        publisher.process().waitForBytesWritten(1000);
        if (!pty.read(14, 2000)) {
            ++f.lost;
            continue;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        // A 14-byte command holds a 4800-baud line for 30 ms, and the program keeps the line's
        // pace; changes closer than that would time the line, not the relay.
        ::usleep(35000);
    }
    std::sort(ms.begin(), ms.end());
    f.n = static_cast<int>(ms.size());
    if (!ms.empty()) {
        f.median = ms[ms.size() / 2];
        f.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    }
    return f;
}

std::unique_ptr<Child> startPublisher(const PrivateBus& bus) {
    auto b = std::make_unique<Child>(
        QStringLiteral(PUBLISHER),
        QStringList{QStringLiteral("--stdin"), QStringLiteral("--as"), QStringLiteral("commander")},
        bus.environment());
    waitUntil([&] { return bus.hasOwner(CommanderName); }, 5000);
    return b;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--floor-client"))
        return runFloorClient(args.value(2));
    int changes = 1000;
    if (args.value(1) == QLatin1String("--changes"))
        changes = std::max(1, args.value(2).toInt());

    PrivateBus bus;
    if (bus.address().isEmpty()) {
        std::fprintf(stderr, "bench_latency: cannot start dbus-daemon\n");
        return 1;
    }

    // Floor.
    Figures floor;
    {
        Pty pty;
        auto publisher = startPublisher(bus);
        Child client(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--floor-client"), pty.path()}, bus.environment());
        if (!client.waitForLine(QStringLiteral("ready"), 5000)) {
            std::fprintf(stderr, "bench_latency: the floor client did not start\n");
            return 1;
        }
        spin(100);
        floor = measure(*publisher, pty, changes);
    }

    // Veltaro.
    Figures real;
    {
        QTemporaryDir dir;
        Pty pty;
        const QString program = dir.filePath(QStringLiteral("veltaro"));
        QFile::copy(QStringLiteral(VELTARO_BIN), program);
        QDir(dir.path()).mkpath(QStringLiteral("config/Veltaro"));
        QFile conf(dir.filePath(QStringLiteral("config/Veltaro/Veltaro.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("[StartUp]\nCheckCommander=1\nComPort=1\n\n[Ports]\nCom1=%1\n")
                       .arg(pty.path())
                       .toUtf8());
        conf.close();
        auto publisher = startPublisher(bus);
        publisher->send(QStringLiteral("1800000"));
        auto env = bus.environment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        Child veltaro(program, {}, env);
        if (!pty.read(14, 10000)) {
            std::fprintf(stderr, "bench_latency: veltaro sent nothing at start-up\n");
            return 1;
        }
        spin(200);
        real = measure(*publisher, pty, changes);
    }

    std::printf(
        "Latency from veltaro-link-publisher publishing a value to the command at the pty\n");
    std::printf("(%d changes, 20 kHz apart, Commander link, private dbus-daemon)\n\n", changes);
    std::printf("%-34s %10s %10s %8s %6s\n", "path", "median ms", "p99 ms", "n", "lost");
    std::printf("%-34s %10.3f %10.3f %8d %6d\n", "floor: D-Bus signal -> pty", floor.median,
                floor.p99, floor.n, floor.lost);
    std::printf("%-34s %10.3f %10.3f %8d %6d\n", "veltaro: link -> tracker -> pty", real.median,
                real.p99, real.n, real.lost);
    if (floor.median > 0 && floor.p99 > 0)
        std::printf("%-34s %9.2fx %9.2fx\n", "ratio veltaro / floor", real.median / floor.median,
                    real.p99 / floor.p99);
    return 0;
}

#include "bench_latency.moc"
