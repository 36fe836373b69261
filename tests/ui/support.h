// A station of fakes around the real Qt window and the core's MainWindow, and bounded waits.
#pragma once

#include "core/fakes.h"
#include "platform/qt/about_dialog.h"
#include "platform/qt/main_window.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace veltaro::test {

// Runs the event loop until pred holds or ms have passed; true when it holds.
inline bool waitUntil(const std::function<bool()>& pred, int ms = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets widgets closed with WA_DeleteOnClose go.
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct StartUpSettings : fake::SettingsStore {
    std::string startUp(const std::string& key) const { return get(key); }
    void setStartUp(const std::string& key, const std::string& v) { set(key, v); }
};

// Commander and HRD both answer; value is Commander's current reading.
struct AnsweringLink : fake::LinkClient {
    AnsweringLink() { servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "14074000"; }
    std::string& value = servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
};

// The real Qt window around the core's main window, with fakes for the platform parts.
struct Station {
    StartUpSettings settings;
    fake::SerialLine serial;
    fake::FileSystem files;
    AnsweringLink link;
    fake::Automation automation;
    fake::Dialogs dialogs;
    fake::System system;
    fake::Help help;
    fake::Launcher launcher;
    fake::SystemInfoLocator locator; // finds nothing
    qt::MainWindow window;
    MainWindow core{MainWindowPlatform{serial, settings, files, link, automation, window, dialogs,
                                       system, help, NumberFormat{}}};

    Station() {
        window.attach(core);
        window.setAboutFactory([this] {
            return new qt::AboutDialog(AboutPlatform{locator, launcher, dialogs});
        });
    }
    // The program's start: load, then show unless already visible.
    void start() {
        core.load();
        if (!window.isVisible())
            window.show();
    }
    template <class W> W* child(const char* name) {
        W* w = window.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    int writes(const char* key) const { return settings.writesOf(key); }
};

} // namespace veltaro::test
