// A tracker wired to an open fake serial line and a fake file system, with the main window's
// display controls.
#pragma once

#include "fakes.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/tracker.h"
#include "view/control.h"

#include <string>

namespace veltaro::test {

struct TrackerRig {
    explicit TrackerRig(NumberFormat fmt = {'.'})
        : link(serial, dialogs, fmt), file(fs, dialogs),
          tracker({controls["receivedLabel"], controls["relayedLabel"], controls["relayedMhzText"]},
                  link, file, fmt) {
        serial.open("COM1");
    }
    std::string pegasus() const {
        auto it = fs.files.find("/prog/PEGASUS.OUT");
        return it == fs.files.end() ? "<none>" : it->second;
    }
    void commander(const std::string& text) { tracker.update(Reading::kilohertzText(text)); }
    void megahertz(double mhz) { tracker.update(Reading::megahertz(mhz)); }
    std::string received() { return controls["receivedLabel"].text(); }
    std::string relayed() { return controls["relayedLabel"].text(); }
    std::string mhzText() { return controls["relayedMhzText"].text(); }

    fake::SerialLine serial;
    fake::FileSystem fs;
    fake::Dialogs dialogs;
    ControlSet controls{layout::mainWindow()};
    ControllerLink link;
    FrequencyFile file;
    FrequencyTracker tracker;
};

} // namespace veltaro::test
