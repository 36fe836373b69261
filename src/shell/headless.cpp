#include "shell/headless.h"

#include "about/app_identity.h"
#include "shell/settings.h"
#include "sources/registrations.h"

#include <algorithm>
#include <utility>

namespace veltaro {

void LineReporter::write(const std::string& line) {
    lastLine_ = line;
    sink_(line);
}

void LineReporter::state(Topic topic, const std::string& line) {
    auto& last = lastOnTopic_[static_cast<std::size_t>(topic)];
    if (line == last)
        return;
    last = line;
    write(line);
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

void UnchangedSettingsSkipped::writeSetting(const std::string& app, const std::string& section,
                                            const std::string& key, const std::string& value) {
    if (key == key::PositionLeft || key == key::PositionTop)
        return;
    if (!stored_)
        stored_ =
            !store_.readSetting(Settings::Application, Settings::Section, key::ComPort).empty();
    const std::string stored = store_.readSetting(app, section, key);
    if (stored == value)
        return;
    if (*stored_ && stored.empty() && value == "0" &&
        std::any_of(sourceRegistrations().begin(), sourceRegistrations().end(),
                    [&](const SourceRegistration& r) { return key == r.settingsKey; }))
        return;
    store_.writeSetting(app, section, key, value);
}

HeadlessRelay::HeadlessRelay(HeadlessPlatform p)
    : reporter_(std::move(p.writeLine)), settings_(p.settings),
      core_(MainWindowPlatform{p.serial, settings_, p.files, p.link, p.automation, p.network,
                               p.clock, host_, reporter_, p.system, help_, p.format}) {
    core_.selector().linkStateChanged().subscribe([this] { reportLink(); });
    core_.control("relayedMhzText").changed().subscribe([this] { reportRelay(); });
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

void HeadlessRelay::reportLink() {
    const Control* box = core_.selector().tickedBox();
    if (!box) {
        reporter_.state(LineReporter::Topic::Link,
                        "No source is ticked: there is nothing to follow.");
        return;
    }
    std::string source = box->design().caption;
    if (const std::string place = core_.selector().tickedPlace(); !place.empty())
        source += " at " + place;
    switch (core_.selector().linkState()) {
    case SourceSelector::LinkState::Linked:
        reporter_.state(LineReporter::Topic::Link, "Linked to " + source + ".");
        break;
    case SourceSelector::LinkState::Linking:
        reporter_.state(LineReporter::Topic::Link, "Linking to " + source + "...");
        break;
    case SourceSelector::LinkState::Lost:
        reporter_.state(LineReporter::Topic::Link,
                        "No link to " + source + ": the program does not answer or has ended.");
        break;
    case SourceSelector::LinkState::Unlinked:
        reporter_.state(LineReporter::Topic::Link, "Link to " + source + " closed.");
        break;
    }
}

void HeadlessRelay::reportRelay() {
    const auto& tracker = core_.tracker();
    reporter_.state(LineReporter::Topic::Relay,
                    "Relayed " + tracker.relayedMhzText() +
                        " MHz: " + ControllerLink::frequencyCommand(tracker.relayedKHz()));
}

void HeadlessRelay::reportPort() {
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
