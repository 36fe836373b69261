#include "shell/headless.h"

#include "about/app_identity.h"

#include <algorithm>
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

void LineReporter::messageBox(const std::string& text, const std::string&) {
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

void LineReporter::postMessage(const std::string& text, const std::string& caption) {
    messageBox(text, caption);
}

std::string UnwrittenSettings::readSetting(const std::string& app, const std::string& section,
                                           const std::string& key) {
    const auto kept = kept_.find(app + '\n' + section + '\n' + key);
    return kept != kept_.end() ? kept->second : store_.readSetting(app, section, key);
}

HeadlessRelay::HeadlessRelay(HeadlessPlatform p)
    : clock_(p.clock), reporter_(std::move(p.writeLine)), settings_(p.settings),
      core_(MainWindowPlatform{p.serial, settings_, p.files, p.link, p.automation, p.network,
                               p.clock, host_, reporter_, p.system, help_, p.format}) {
    core_.selector().linkStateChanged().subscribe([this] { reportLink(); });
    core_.polled().subscribe([this] { remind(); });
    core_.controller().sendDone().subscribe([this] { reportSend(); });
    core_.controller().stateChanged().subscribe([this] { reportPort(); });
}

void HeadlessRelay::start() {
    reporter_.state(LineReporter::Topic::Program,
                    std::string(app::Title) + " " + app::VersionText + " runs without a window.");
    core_.load();
    reportLink();
    reportPort();
}

void HeadlessRelay::stop() {
    if (core_.unloaded())
        return;
    core_.unload();
    reporter_.state(LineReporter::Topic::Program, "Stopped.");
}

std::string HeadlessRelay::linkLine(bool reminder) {
    const SourceSelector& selector = core_.selector();
    const Control* box = selector.tickedBox();
    if (!box)
        return reminder ? "" : "No source is ticked: there is nothing to follow.";
    std::string source = box->design().caption;
    if (const std::string place = selector.tickedPlace(); !place.empty())
        source += " at " + place;
    const std::string still = reminder ? "Still " : "";
    switch (selector.linkState()) {
    case SourceSelector::LinkState::Linked:
        return reminder ? "" : "Linked to " + source + ".";
    case SourceSelector::LinkState::Linking:
        return still + (reminder ? "linking" : "Linking") + " to " + source + "...";
    case SourceSelector::LinkState::Lost:
    case SourceSelector::LinkState::Failed:
        return still + (reminder ? "no" : "No") + " link to " + source + ": " +
               (selector.linkReason().empty() ? "the program does not answer or has ended"
                                              : selector.linkReason()) +
               ".";
    case SourceSelector::LinkState::Unlinked:
        break;
    }
    return reminder ? "" : "Link to " + source + " closed.";
}

void HeadlessRelay::reportLink() {
    if (reporter_.state(LineReporter::Topic::Link, linkLine(false)))
        linkToldAt_ = clock_.nowMs();
    else
        remind();
}

void HeadlessRelay::remind() {
    if (clock_.nowMs() - linkToldAt_ < ReminderMs)
        return;
    if (const std::string line = linkLine(true); !line.empty()) {
        reporter_.remind(line);
        linkToldAt_ = clock_.nowMs();
    }
}

void HeadlessRelay::reportSend() {
    // Start-up restores the boxes before it opens the port, and relays again once it is open:
    // a command before that is not told.
    if (!portTold_)
        return;
    const auto& sent = core_.controller().lastSend();
    const std::string mhz = core_.tracker().relayedMhzText() + " MHz";
    reporter_.state(LineReporter::Topic::Relay,
                    sent.written
                        ? "Relayed " + mhz + ": " + sent.command
                        : "Not sent: " + mhz + " (" + sent.command + "): " + sent.why + ".");
}

void HeadlessRelay::reportPort() {
    portTold_ = true;
    const auto& link = core_.controller();
    // A port of the fixed list is shown by its number, a present device by its name.
    const std::string& shown = link.portShownAs();
    const bool numbered = !shown.empty() && std::all_of(shown.begin(), shown.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    const std::string port = (numbered ? "COM " + shown : shown) + ": ";
    if (link.isOpen()) {
        reporter_.state(LineReporter::Topic::Port, port + (portWasGone_ ? "open again." : "open."));
    } else if (link.waitingForDevice()) {
        portWasGone_ = true;
        reporter_.state(LineReporter::Topic::Port,
                        port + "gone; it is opened again when it comes back.");
    } else {
        reporter_.state(LineReporter::Topic::Port,
                        port + (core_.unloaded() ? "closed." : "not available."));
    }
}

} // namespace veltaro
