// A tracker wired to an open fake serial port and a fake file system.
#pragma once

#include "fakes.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/tracker.h"

#include <string>

namespace veltaro::test {

struct TrackerRig {
    explicit TrackerRig(NumberFormat fmt = {'.'})
        : link(serial, combo, dialogs, fmt, [this] { ++saves; }), file(fs),
          tracker(label7, label3, text3, link, file, fmt) {
        serial.open = true;
    }
    std::string pegasus() const {
        auto it = fs.files.find("/prog/PEGASUS.OUT");
        return it == fs.files.end() ? "<none>" : it->second;
    }
    void commander(const std::string& text) {
        tracker.CommanderFreq = text;
        tracker.UpdateFromCommander();
    }

    fake::SerialPort serial;
    fake::FileSystem fs;
    fake::Dialogs dialogs;
    ComboBox combo;
    Label label7, label3;
    TextBox text3;
    int saves = 0;
    ControllerLink link;
    FrequencyFile file;
    Tracker tracker;
};

} // namespace veltaro::test
