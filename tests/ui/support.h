// A station of fakes around the real Qt window, the relay session and the main window's model,
// with the real timers.
#pragma once

#include "adapters/qt/timers_qt.h"
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

// The real Qt window around the main window's model and its relay session, with fakes for the
// platform parts; Commander and HRD answer.
struct Station {
    fake::SettingsStore settings;
    fake::SerialLine serial;
    fake::FileSystem files;
    fake::LinkClient link;
    fake::Automation automation;
    FakeNetwork network;
    FakeClock clock;
    qt::QtTimers timers; // ticking on the event loop
    fake::Dialogs dialogs;
    fake::Manual manual;
    fake::Launcher launcher;
    fake::SystemInfoLocator locator; // finds nothing
    RelaySession session{SessionPorts{serial, settings, files, link, automation, network, clock,
                                      timers, NumberFormat{}}};
    qt::QtMainWindow window;
    MainWindowModel model{session, MainWindowPorts{window, dialogs, manual}};

    Station() {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "14074000";
        window.attach(model);
        window.setAboutFactory([this] {
            return new qt::AboutDialog(AboutPlatform{locator, launcher, dialogs});
        });
    }
    // The program's start: load, then show unless already visible.
    void start() {
        model.load();
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
