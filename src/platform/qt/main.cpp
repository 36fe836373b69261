// Veltaro on Linux: builds the adapters, the main window and frmMain, loads the form and runs the
// event loop until the last window has closed.

#include "about/app_identity.h"
#include "about/frm_about.h"
#include "platform/qt/about_dialog.h"
#include "platform/qt/dbus_automation.h"
#include "platform/qt/dbus_link_client.h"
#include "platform/qt/file_system_qt.h"
#include "platform/qt/main_window.h"
#include "platform/qt/platform_qt.h"
#include "platform/qt/serial_port_qt.h"
#include "platform/qt/settings_store_qt.h"
#include "platform/qt/signal_watch.h"
#include "shell/frm_main.h"

#include <QApplication>
#include <QIcon>

#include <exception>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(veltaro::app::Title));
    QApplication::setApplicationVersion(QStringLiteral("1.2.2"));
    QApplication::setDesktopFileName(QStringLiteral("veltaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/veltaro/veltaro.png")));
    QApplication::setQuitOnLastWindowClosed(true);

    using namespace veltaro::qt;
    QtSettingsStore settings;
    QtSerialPort serial(settings);
    QtFileSystem files;
    DBusLinkClient link;
    DBusAutomationClient automation;
    QtDialogs dialogs;
    QtSystem system;
    QtHelp help;
    QtLauncher launcher;
    QtRegistry registry(settings);

    MainWindow window(dialogs);
    veltaro::frmMain form(veltaro::MainPlatform{serial, settings, files, link, automation, window,
                                                dialogs, system, help, numberFormatFromLocale()});
    window.attach(form);
    window.setAboutFactory([&] {
        return new AboutDialog(veltaro::AboutPlatform{registry, files, launcher, dialogs});
    });

    try {
        form.Form_Load();
    } catch (const std::exception& e) {
        // Start-up goes on with what was restored so far.
        dialogs.messageBox(e.what(), veltaro::app::Title);
    }
    if (!window.isVisible())
        window.show();

    // A termination request (log-out, kill) closes the windows the usual way, so the settings
    // are saved as at any close.
    SignalWatch stopper;
    QObject::connect(&stopper, &SignalWatch::terminate, &app,
                     [] { QApplication::closeAllWindows(); });
    return QApplication::exec();
}
