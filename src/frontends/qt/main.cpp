// Veltaro on Linux: reads the command line first (help, version and bad options need no
// display), then either runs without a window (--headless) or builds the adapters, the main
// window and its logic, loads it and runs the event loop until the last window has closed.

#include "adapters/qt/signal_watch.h"
#include "adapters/qt/system_qt.h"
#include "app/command_line.h"
#include "base/identity.h"
#include "frontends/qt/about_dialog.h"
#include "frontends/qt/dialogs_qt.h"
#include "frontends/qt/headless_qt.h"
#include "frontends/qt/linux_ports.h"
#include "frontends/qt/main_window.h"
#include "view/about_box.h"
#include "view/main_window_model.h"

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
    LinuxPorts ports;
    QtDialogs dialogs;
    QtManual manual;
    QtLauncher launcher;
    QtSystemInfoLocator locator(ports.settings);

    QtMainWindow window;
    veltaro::RelaySession session(ports.sessionPorts());
    veltaro::MainWindowModel model(session, {window, dialogs, manual});
    window.attach(model);
    window.setAboutFactory([&] {
        return new AboutDialog(veltaro::AboutPlatform{locator, launcher, dialogs});
    });

    model.load();
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
