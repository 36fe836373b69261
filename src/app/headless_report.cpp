#include "app/headless_report.h"

#include "base/identity.h"

#include <utility>

namespace veltaro {

void LineReporter::write(const std::string& line) {
    lastLine_ = line;
    sink_(line);
}

bool LineReporter::state(Topic topic, const std::string& line) {
    auto& last = lastOnTopic_[static_cast<std::size_t>(topic)];
    if (line == last)
        return false;
    last = line;
    write(line);
    return true;
}

void LineReporter::message(const std::string& text) {
    std::string line;
    bool breakBefore = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            breakBefore = true;
            continue;
        }
        if (breakBefore && !line.empty() && line.back() != ' ')
            line += ' ';
        breakBefore = false;
        line += c;
    }
    if (line != lastLine_)
        write(line);
}

HeadlessReport::HeadlessReport(RelaySession& session, ITimers& timers, LineReporter::Sink sink)
    : session_(session), reporter_(std::move(sink)),
      reminder_(timers.makeTimer([this] { remind(); })) {
    session_.addObserver(*this);
}

void HeadlessReport::starting() {
    reporter_.state(LineReporter::Topic::Program,
                    std::string(app::Title) + " " + app::VersionText + " runs without a window.");
}

void HeadlessReport::stopped() {
    linkChanged(session_.link());
    portChanged(session_.port());
    reminder_->stop();
    reporter_.state(LineReporter::Topic::Program, "Stopped.");
}

std::string HeadlessReport::linkLine(const LinkStatus& status, bool reminder) {
    if (!status.source)
        return reminder ? "" : "No source is ticked: there is nothing to follow.";
    const std::string source = status.sourceAndPlace();
    const std::string still = reminder ? "Still " : "";
    switch (status.state) {
    case LinkState::Linked:
        return reminder ? "" : "Linked to " + source + ".";
    case LinkState::Linking:
        return still + (reminder ? "linking" : "Linking") + " to " + source + "...";
    case LinkState::Lost:
    case LinkState::Failed:
        return still + (reminder ? "no" : "No") + " link to " + source + ": " +
               (status.reason.empty() ? "the program does not answer or has ended"
                                      : status.reason) +
               ".";
    case LinkState::Unlinked:
        break;
    }
    return reminder ? "" : "Link to " + source + " closed.";
}

void HeadlessReport::linkChanged(const LinkStatus& status) {
    if (!reporter_.state(LineReporter::Topic::Link, linkLine(status, false)))
        return;
    // Told again while it stays so, at most every ReminderMs.
    if (linkLine(status, true).empty() || status.state == LinkState::Failed)
        reminder_->stop();
    else
        reminder_->start(ReminderMs);
}

void HeadlessReport::remind() {
    const std::string line = linkLine(session_.link(), true);
    if (line.empty())
        reminder_->stop();
    else
        reporter_.remind(line);
}

void HeadlessReport::commandSent(const ControllerLink::SendOutcome& sent,
                                 const std::string& mhzText) {
    // Start-up chooses the source before it opens the port, and relays again once it is open:
    // a command before that is not told.
    if (!portTold_)
        return;
    const std::string mhz = mhzText + " MHz";
    reporter_.state(LineReporter::Topic::Relay,
                    sent.written
                        ? "Relayed " + mhz + ": " + sent.command
                        : "Not sent: " + mhz + " (" + sent.command + "): " + sent.why + ".");
}

void HeadlessReport::antennaChanged(const AntennaStatus& status) {
    if (status.state == AntennaStatus::State::NoFeedback)
        return; // the FA path: nothing is known, nothing to tell
    reporter_.state(LineReporter::Topic::Antenna, "Antenna: " + describeAntenna(status) + ".");
}

void HeadlessReport::interlockChanged(const InterlockState& state) {
    std::string line = "Transmit-inhibit line: " + state.text();
    if (state.reason == InterlockState::Reason::Hold)
        line += " (blind: the FA path cannot see the antenna)";
    reporter_.state(LineReporter::Topic::Interlock, line + ".");
}

void HeadlessReport::portChanged(const PortStatus& status) {
    portTold_ = true;
    const std::string port = status.label + ": ";
    if (status.open) {
        reporter_.state(LineReporter::Topic::Port, port + (portWasGone_ ? "open again." : "open."));
    } else if (status.waitingForDevice) {
        portWasGone_ = true;
        reporter_.state(LineReporter::Topic::Port,
                        port + "gone; it is opened again when it comes back.");
    } else {
        reporter_.state(LineReporter::Topic::Port,
                        port + (session_.ended() ? "closed." : "not available."));
    }
}

} // namespace veltaro
