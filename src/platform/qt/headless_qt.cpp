#include "platform/qt/headless_qt.h"

#include "about/app_identity.h"
#include "platform/clock.h"
#include "platform/qt/dbus_automation.h"
#include "platform/qt/dbus_link_client.h"
#include "platform/qt/file_system_qt.h"
#include "platform/qt/network_qt.h"
#include "platform/qt/platform_qt.h"
#include "platform/qt/serial_line_qt.h"
#include "platform/qt/settings_store_qt.h"
#include "platform/qt/signal_watch.h"
#include "shell/headless.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace veltaro::qt {

int runHeadless(int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(veltaro::app::Title));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(veltaro::app::VersionText));

    // The timers outlive the core, whose signals start and stop them.
    QTimer pollTimer;
    QTimer reopenTimer;
    pollTimer.setInterval(veltaro::MainWindow::PollIntervalMs);
    reopenTimer.setInterval(veltaro::MainWindow::ReopenIntervalMs);

    QtSettingsStore settings;
    QtSerialLine serial(settings);
    QtFileSystem files;
    DBusLinkClient link;
    DBusAutomationClient automation;
    QtNetwork network;
    veltaro::SteadyClock clock;
    QtSystem system;
    veltaro::HeadlessRelay relay(veltaro::HeadlessPlatform{
        serial, settings, files, link, automation, network, clock, system, numberFormatFromLocale(),
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }});

    veltaro::MainWindow& core = relay.core();
    const auto runTimers = [&] {
        for (auto [timer, needed] : {std::pair{&pollTimer, core.pollNeeded()},
                                     std::pair{&reopenTimer, core.reopenNeeded()}}) {
            if (!needed)
                timer->stop();
            else if (!timer->isActive())
                timer->start();
        }
    };
    QObject::connect(&pollTimer, &QTimer::timeout, [&] {
        core.poll();
        runTimers();
    });
    QObject::connect(&reopenTimer, &QTimer::timeout, [&] {
        core.reopenTick();
        runTimers();
    });
    core.pollStateChanged().subscribe(runTimers);

    // Before start-up, so that a request arriving meanwhile waits for the event loop.
    SignalWatch stopper;
    QObject::connect(&stopper, &SignalWatch::terminate, &app, [&] {
        relay.stop();
        QCoreApplication::quit();
    });
    relay.start();
    runTimers();
    return QCoreApplication::exec();
}

} // namespace veltaro::qt
