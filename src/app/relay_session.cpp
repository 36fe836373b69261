#include "app/relay_session.h"

#include "base/errors.h"
#include "protocols/net_address.h"

#include <exception>

namespace veltaro {

RelaySession::RelaySession(SessionPorts p)
    : format_(p.format), network_(p.network), outputNotice_([this](const Notice& n) { tell(n); }),
      settingsNotice_([this](const Notice& n) { tell(n); }),
      settings_(p.settings, settingsNotice_, p.format),
      controller_(p.serial, [this](const Notice& n) { tell(n); }),
      file_(
          p.files, [this](const Notice& n) { tell(n); },
          [this] { return settings_.read(key::FrequencyFilePath, Settings::FilesSection); }),
      tracker_(p.format),
      selector_(p.clock, [this](const Notice& n) { tell(n); },
                {[this](const Reading& r) { take(r); },
                 [this] { each([this](SessionObserver& o) { o.linkChanged(link()); }); },
                 [this] { runTimers(); }}) {
    setup_ = settings_.readControllerSetup();
    const SourceServices services{
        p.link,
        p.automation,
        p.network,
        p.clock,
        [this](const SourceRegistration& r) { return addressOf(r); },
        [this](const char* key) { return settings_.read(key, Settings::AddressesSection); }};
    for (const auto& r : sourceRegistrations())
        selector_.add(r, r.make(services));
    controller_.stateChanged().subscribe([this] {
        const PortStatus status = port();
        each([&](SessionObserver& o) { o.portChanged(status); });
        runTimers();
    });
    controller_.setResendHandler([this](const ControllerLink::SendOutcome& outcome) {
        each([&](SessionObserver& o) { o.commandSent(outcome, tracker_.relayedMhzText()); });
    });
    pollTimer_ = p.timers.makeTimer([this] {
        try {
            selector_.poll();
        } catch (const std::exception& e) {
            tell({e.what(), NoticeTiming::AtOnce});
        }
        runTimers();
    });
    reopenTimer_ = p.timers.makeTimer([this] {
        controller_.reopenTick();
        runTimers();
    });
}

RelaySession::~RelaySession() {
    pollTimer_.reset();
    reopenTimer_.reset();
}

void RelaySession::tell(const Notice& notice) {
    each([&](SessionObserver& o) { o.noticed(notice); });
}

void RelaySession::runTimers() {
    const auto run = [](ITimer& timer, bool needed, int intervalMs) {
        if (!needed)
            timer.stop();
        else if (!timer.running())
            timer.start(intervalMs);
    };
    if (pollTimer_)
        run(*pollTimer_, !ended_ && selector_.pollNeeded(), PollIntervalMs);
    if (reopenTimer_)
        run(*reopenTimer_, !ended_ && controller_.waitingForDevice(), ReopenIntervalMs);
}

StoredPort RelaySession::storedPort() {
    StoredPort stored;
    if (const auto number = settings_.readPortNumber()) {
        stored.number = *number;
        stored.text = settings_.read(key::ComPort);
    }
    return stored;
}

void RelaySession::start() {
    const StoredPort stored = storedPort();
    controller_.setPortNumber(stored.number);
    controller_.refreshPortItems();
    // As the window restores the boxes in order, each ticked one replacing the one before, the
    // last ticked source is the one chosen.
    std::optional<SourceId> ticked;
    for (const auto& r : sourceRegistrations())
        if (settings_.readBoxState(r.settingsKey) == 1)
            ticked = r.id;
    if (ticked)
        choose(*ticked);
    else
        each([this](SessionObserver& o) { o.linkChanged(link()); });
    openPortAndRelink(stored);
}

void RelaySession::openPortAndRelink(const StoredPort& port) {
    controller_.openAtStartup(port.number, port.text);
    tracker_.forgetRelayed();
    selector_.relinkChosen();
    runTimers();
}

void RelaySession::end() {
    if (ended_)
        return;
    ended_ = true;
    selector_.closeAll();
    controller_.close();
    runTimers();
}

bool RelaySession::choose(SourceId id) {
    return !ended_ && selector_.choose(id);
}

void RelaySession::clear(SourceId id) {
    if (!ended_)
        selector_.clear(id);
}

NetAddress RelaySession::addressOf(const SourceRegistration& r) {
    NetAddress defaults = parseNetAddress(r.defaultAddress ? r.defaultAddress : "", {}, nullptr)
                              .value_or(NetAddress{});
    if (!r.addressKey)
        return defaults;
    const std::string stored = settings_.read(r.addressKey, Settings::AddressesSection);
    if (stored.empty())
        return defaults;
    return parseNetAddress(stored, defaults, nullptr).value_or(defaults);
}

void RelaySession::setAddress(const SourceRegistration& r, const NetAddress& address) {
    if (!r.addressKey)
        return;
    settings_.write(r.addressKey, formatNetAddress(address), Settings::AddressesSection);
    if (!ended_)
        selector_.relink(r.id);
}

void RelaySession::setControllerSetup(const ControllerSetup& setup) {
    if (setup == setup_)
        return;
    settings_.writeControllerSetup(setup, setup_);
    setup_ = setup;
}

PortStatus RelaySession::port() const {
    return {controller_.portLabel(), controller_.isOpen(), controller_.waitingForDevice()};
}

void RelaySession::take(const Reading& reading) {
    const auto outcome = tracker_.take(reading);
    if (!outcome)
        return; // a reading that is not a number or out of range changes nothing shown
    if (const auto& relay = outcome->relay) {
        // The command goes first: nothing is shown or written before it is on the wire.
        const ControllerLink::SendOutcome sent = controller_.sendFrequency(relay->khz);
        each([&](SessionObserver& o) { o.commandSent(sent, relay->mhzText); });
        bool failed = !sent.failure.empty();
        if (failed)
            outputNotice_.report(sent.failure);
        try {
            file_.write(relay->mhzText);
        } catch (const FileError& err) {
            // Told unless the port failed too: one failure at a time.
            if (!failed)
                outputNotice_.report(err.what());
            failed = true;
        }
        if (!failed)
            outputNotice_.clear();
    }
    each([&](SessionObserver& o) { o.readingTaken(outcome->receivedKHz, tracker_.relayedKHz()); });
}

} // namespace veltaro
