// veltaro-link-publisher: serves a radio's frequency on the D-Bus session bus under the link
// contract that Veltaro's Linux links read (Commander, HRD, FTLink stand-ins), fed by a sweep,
// standard input or a flood. See docs/linux-links.md.
#include "adapters/qt/signal_watch.h"
#include "feeds.h"
#include "link_server.h"
#include "publisher_options.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>
#include <memory>

using namespace link_publisher;

namespace {

void say(const QString& line) {
    std::fprintf(stderr, "veltaro-link-publisher: %s\n", qPrintable(line));
    std::fflush(stderr);
}

// Standard output carries only what a script waits for.
void tell(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

QList<Program> programs(const PublisherOptions& o) {
    QList<Program> list;
    if (o.commander)
        list << Program::Commander;
    if (o.hrd)
        list << Program::Hrd;
    if (o.ftlink)
        list << Program::Ftlink;
    return list;
}

std::unique_ptr<Feed> makeFeed(const PublisherOptions& o) {
    switch (o.feed) {
    case FeedKind::Stdin:
        return std::make_unique<StdinFeed>(0);
    case FeedKind::Flood:
        return std::make_unique<SweepFeed>(FloodStepHz, FloodRate);
    case FeedKind::Sweep:
        break;
    }
    return std::make_unique<SweepFeed>(o.stepHz, o.rate);
}

void connectFeed(Feed& feed, LinkServer& server, bool verbose) {
    QObject::connect(&feed, &Feed::status, &say);
    QObject::connect(&feed, &Feed::frequencyHz, &server, [&server, verbose](qint64 hz) {
        server.publish(hz);
        if (verbose)
            tell(QString::number(hz));
    });
    QObject::connect(&feed, &Feed::script, &server,
                     [&server](const QString& item, const QStringList& values) {
                         for (const QString& v : values)
                             server.set(item, v);
                         tell(QStringLiteral("done"));
                     });
    if (verbose)
        QObject::connect(&server, &LinkServer::frequencyAsked, [] { tell(QStringLiteral("get")); });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    PublisherOptions options;
    QString error;
    if (!parseOptions(args, &options, &error)) {
        say(error);
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }

    LinkServer server(QDBusConnection::sessionBus(), programs(options), options.faults);
    for (const auto& [item, value] : std::as_const(options.items))
        server.set(item, value);
    // Signals are watched before any name is taken, so that a signal never ends the program
    // while it holds a name.
    veltaro::qt::SignalWatch stopper;
    QObject::connect(&stopper, &veltaro::qt::SignalWatch::terminate, &app, [&app] { app.quit(); });
    if (!server.claim(options.replace, &error)) {
        say(error);
        return 1;
    }
    const std::unique_ptr<Feed> feed = makeFeed(options);
    connectFeed(*feed, server, options.verbose);
    say(QStringLiteral("serving ") + server.busNames().join(QStringLiteral(", ")));
    tell(QStringLiteral("ready"));
    feed->start();
    app.exec();
    server.release();
    return 0;
}
