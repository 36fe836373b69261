// veltaro-bridge: publishes a radio's frequency on the D-Bus session bus in the forms that
// Veltaro's Linux links read (Commander, HRD, FTLink stand-ins). See docs/linux-links.md.
#include "bridge_options.h"
#include "flrig_source.h"
#include "frequency_source.h"
#include "host_port.h"
#include "adapters/qt/signal_watch.h"
#include "publishers.h"
#include "rigctld_source.h"
#include "stdin_source.h"
#include "sweep_source.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void say(const QString& line) {
    std::fprintf(stderr, "veltaro-bridge: %s\n", qPrintable(line));
    std::fflush(stderr);
}

template <typename Source>
std::unique_ptr<FrequencySource> polledSource(const bridge::Options& o, const QString& defaultHost,
                                              quint16 defaultPort) {
    QString host;
    quint16 port = 0;
    QString error;
    if (!parseHostPort(o.hostPort, defaultHost, defaultPort, &host, &port, &error)) {
        say(error);
        return nullptr;
    }
    return std::make_unique<Source>(host, port, o.intervalMs);
}

// nullptr and *exitCode set when the source cannot be made.
std::unique_ptr<FrequencySource> makeSource(const bridge::Options& o, int* exitCode) {
    *exitCode = 2;
    switch (o.source) {
    case bridge::SourceKind::Sweep:
        return std::make_unique<bridge::SweepSource>(o.stepHz, o.rate);
    case bridge::SourceKind::Flood:
        return std::make_unique<bridge::SweepSource>(bridge::FloodStepHz, bridge::FloodRate);
    case bridge::SourceKind::Stdin:
        return std::make_unique<bridge::StdinSource>(0);
    case bridge::SourceKind::Rigctld:
        return polledSource<RigctldSource>(o, QStringLiteral("127.0.0.1"), 4532);
    case bridge::SourceKind::Flrig:
        return polledSource<FlrigSource>(o, QStringLiteral("127.0.0.1"), 12345);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    bridge::Options options;
    QString error;
    if (!bridge::parseOptions(args, &options, &error)) {
        say(error);
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(bridge::usageText()), stdout);
        return 0;
    }

    int exitCode = 0;
    std::unique_ptr<FrequencySource> source = makeSource(options, &exitCode);
    if (!source)
        return exitCode;

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        say(QStringLiteral("no D-Bus session bus: ") + bus.lastError().message());
        return 1;
    }

    std::vector<std::unique_ptr<bridge::Publisher>> publishers;
    if (options.commander)
        publishers.push_back(std::make_unique<bridge::LinkPublisher>(
            bus, "CI-V Commander", "DDEServer", QStringLiteral("XmitFreq"),
            &bridge::kilohertzText));
    if (options.hrd)
        publishers.push_back(std::make_unique<bridge::LinkPublisher>(
            bus, "HRD_RADIO_000", "HRD_CAT", QStringLiteral("HRD_HERTZ"), &bridge::hertzText));
    if (options.ftlink)
        publishers.push_back(std::make_unique<bridge::FtlinkPublisher>(bus));

    // Watch for signals before any name is taken, so a signal never finds the names held by a
    // process that would die without releasing them.
    veltaro::qt::SignalWatch stopper;
    QObject::connect(&stopper, &veltaro::qt::SignalWatch::terminate, &app,
                     [&app](int) { app.quit(); });

    auto releaseAll = [&publishers] {
        for (auto& p : publishers)
            p->release();
    };
    for (auto& p : publishers) {
        if (!p->claim(&error)) {
            say(error);
            releaseAll();
            return 1;
        }
    }

    QObject::connect(source.get(), &FrequencySource::status, &app, &say);
    QObject::connect(source.get(), &FrequencySource::frequencyHz, &app,
                     [&publishers, verbose = options.verbose](qint64 hz) {
                         for (auto& p : publishers)
                             p->publish(hz);
                         if (verbose) {
                             std::printf("%lld\n", static_cast<long long>(hz));
                             std::fflush(stdout);
                         }
                     });

    QStringList names;
    for (const auto& p : publishers)
        names << p->busName();
    say(QStringLiteral("ready: ") + names.join(QStringLiteral(", ")));
    source->start();

    app.exec();
    source.reset();
    releaseAll();
    return 0;
}
