#include "frontends/qt/headless_qt.h"

#include "adapters/qt/signal_watch.h"
#include "app/headless_report.h"
#include "base/identity.h"
#include "frontends/qt/linux_ports.h"

#include <QCoreApplication>

#include <cstdio>

namespace veltaro::qt {

int runHeadless(int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(veltaro::app::Title));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(veltaro::app::VersionText));

    LinuxPorts ports;
    RelaySession session(ports.sessionPorts());
    HeadlessReport report(session, ports.timers, [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    });

    // Before start-up, so that a request arriving meanwhile waits for the event loop.
    SignalWatch stopper;
    QObject::connect(&stopper, &SignalWatch::terminate, &app, [&] {
        session.end();
        report.stopped();
        QCoreApplication::quit();
    });
    report.starting();
    session.start();
    return QCoreApplication::exec();
}

} // namespace veltaro::qt
