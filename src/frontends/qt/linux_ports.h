// Responsibilities: the Linux adapters of one run of the program, made together, and the relay
// session's ports taken from them: the same for the window and for the program without one.
// Collaborations: main() and runHeadless() make one after their Qt application object.
#pragma once

#include "adapters/qt/dbus_automation.h"
#include "adapters/qt/dbus_link_client.h"
#include "adapters/qt/file_system_qt.h"
#include "adapters/qt/modem_line_qt.h"
#include "adapters/qt/network_qt.h"
#include "adapters/qt/serial_line_qt.h"
#include "adapters/qt/settings_store_qt.h"
#include "adapters/qt/system_qt.h"
#include "adapters/qt/timers_qt.h"
#include "app/relay_session.h"
#include "ports/clock.h"

namespace veltaro::qt {

struct LinuxPorts {
    QtSettingsStore settings;
    QtSerialLine serial{settings};
    QtModemLine interlockLine{settings};
    QtFileSystem files;
    DBusLinkClient link;
    DBusAutomationClient automation;
    QtNetwork network;
    SteadyClock clock;
    QtTimers timers;

    SessionPorts sessionPorts() {
        SessionPorts ports{serial, settings,   files,
                           link,   automation, network,
                           clock,  timers,     numberFormatFromLocale()};
        ports.interlockLine = &interlockLine;
        return ports;
    }
};

} // namespace veltaro::qt
