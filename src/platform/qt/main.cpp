// Veltaro on Linux: reads the command line first (help, version and bad options need no
// display), then either runs without a window (--headless) or builds the adapters, the main
// window and its logic, loads it and runs the event loop until the last window has closed.

#include "about/about_box.h"
#include "about/app_identity.h"
#include "platform/clock.h"
#include "platform/qt/about_dialog.h"
#include "platform/qt/dbus_automation.h"
#include "platform/qt/dbus_link_client.h"
#include "platform/qt/file_system_qt.h"
#include "platform/qt/headless_qt.h"
#include "platform/qt/main_window.h"
#include "platform/qt/network_qt.h"
#include "platform/qt/platform_qt.h"
#include "platform/qt/serial_line_qt.h"
#include "platform/qt/settings_store_qt.h"
#include "platform/qt/signal_watch.h"
#include "shell/command_line.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto line = veltaro::parseCommandLine(args);
    switch (line.mode) {
    case veltaro::CommandLine::Mode::Help:
        std::fputs(veltaro::usageText("veltaro").c_str(), stdout);
        return line.exitCode();
    case veltaro::CommandLine::Mode::Version:
        std::printf("%s %s\n", veltaro::app::Title, veltaro::app::VersionText);
        return line.exitCode();
    case veltaro::CommandLine::Mode::Bad:
        std::fprintf(stderr, "veltaro: %s\nTry 'veltaro --help' for the options.\n",
                     line.problem.c_str());
        return line.exitCode();
    case veltaro::CommandLine::Mode::Headless:
        return veltaro::qt::runHeadless(argc, argv);
    case veltaro::CommandLine::Mode::Window:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(veltaro::app::Title));
    QApplication::setApplicationVersion(QString::fromLatin1(veltaro::app::VersionText));
    QApplication::setDesktopFileName(QStringLiteral("veltaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/veltaro/veltaro.png")));
    QApplication::setQuitOnLastWindowClosed(true);

    using namespace veltaro::qt;
    QtSettingsStore settings;
    QtSerialLine serial(settings);
    QtFileSystem files;
    DBusLinkClient link;
    DBusAutomationClient automation;
    QtNetwork network;
    veltaro::SteadyClock clock;
    QtDialogs dialogs;
    QtSystem system;
    QtHelp help;
    QtLauncher launcher;
    QtSystemInfoLocator locator(settings);

    MainWindow window;
    veltaro::MainWindow core(veltaro::MainWindowPlatform{serial, settings, files, link, automation,
                                                         network, clock, window, dialogs, system,
                                                         help, numberFormatFromLocale()});
    window.attach(core);
    window.setAboutFactory([&] {
        return new AboutDialog(veltaro::AboutPlatform{locator, launcher, dialogs});
    });

    core.load();
    if (!window.isVisible())
        window.show();

    // A termination request (log-out, kill) closes the windows the usual way, so the settings
    // are saved as at any close, and then ends every event loop: a box still open (or one
    // posted and waiting) would otherwise keep the program running.
    SignalWatch stopper;
    QObject::connect(&stopper, &SignalWatch::terminate, &app, [&dialogs] {
        dialogs.end();
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}
