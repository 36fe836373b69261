// Responsibilities: the report of the program without a window: every change of the relay
// session's state as one line. The link and why it is down (retries are quiet, with a reminder
// at most every 10 minutes while nothing is linked), each command as it reaches the serial line
// or why it did not, the port, what is known of the antenna, the transmit-inhibit line, and each
// notice the window would show in a box. Collaborations: observes a RelaySession; the front end's
// headless main() gives it a line sink (standard error) and the timers, starts the session and
// calls stopped() at the end.
#pragma once

#include "app/relay_session.h"
#include "ports/timers.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace veltaro {

// Writes a line for each change of state, and never the same state twice in a row.
class LineReporter {
public:
    using Sink = std::function<void(const std::string& line)>;
    enum class Topic { Program, Link, Relay, Port, Antenna, Interlock };

    explicit LineReporter(Sink sink) : sink_(std::move(sink)) {}

    // Written unless it is the line last written on the same topic; true when written.
    bool state(Topic topic, const std::string& line);
    // Written as it is, changing no topic's last line.
    void remind(const std::string& line) { write(line); }
    // A message on one line (line breaks become blanks). The same text again is written only
    // once some other line came between.
    void message(const std::string& text);

private:
    void write(const std::string& line);

    Sink sink_;
    std::array<std::string, 6> lastOnTopic_;
    std::string lastLine_;
};

class HeadlessReport : public SessionObserver {
public:
    // While nothing is linked, the state is told again after this long without a link line.
    static constexpr int ReminderMs = 10 * 60 * 1000;

    HeadlessReport(RelaySession& session, ITimers& timers, LineReporter::Sink sink);

    // The program starts: its first line.
    void starting();
    // The session has ended: its last lines.
    void stopped();

    void commandSent(const ControllerLink::SendOutcome& outcome,
                     const std::string& mhzText) override;
    void linkChanged(const LinkStatus& status) override;
    void portChanged(const PortStatus& status) override;
    void antennaChanged(const AntennaStatus& status) override;
    void interlockChanged(const InterlockState& state) override;
    void noticed(const Notice& notice) override { reporter_.message(notice.text); }

private:
    // The link line; a reminder says "Still ..." and is empty while linked or nothing is chosen.
    static std::string linkLine(const LinkStatus& status, bool reminder);
    void remind();

    RelaySession& session_;
    LineReporter reporter_;
    std::unique_ptr<ITimer> reminder_;
    bool portWasGone_ = false;
    bool portTold_ = false;
};

} // namespace veltaro
