// A station of fakes around the real Qt window and the core's MainWindow.
#pragma once

#include "core/fakes.h"
#include "core/net_fakes.h"
#include "frontends/qt/about_dialog.h"
#include "frontends/qt/main_window.h"
#include "view/main_window_model.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace veltaro::test {

// Lets widgets closed with WA_DeleteOnClose go.
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// The real Qt window around the core's main window, with fakes for the platform parts; Commander
// and HRD answer.
struct Station {
    fake::SettingsStore settings;
    fake::SerialLine serial;
    fake::FileSystem files;
    fake::LinkClient link;
    fake::Automation automation;
    FakeNetwork network;
    FakeClock clock;
    fake::Dialogs dialogs;
    fake::System system;
    fake::Help help;
    fake::Launcher launcher;
    fake::SystemInfoLocator locator; // finds nothing
    qt::MainWindow window;
    MainWindow core{MainWindowPlatform{serial, settings, files, link, automation, network, clock,
                                       window, dialogs, system, help, NumberFormat{}}};

    Station() {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "14074000";
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
};

} // namespace veltaro::test
