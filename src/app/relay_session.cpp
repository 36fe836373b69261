#include "app/relay_session.h"

#include "base/errors.h"
#include "protocols/net_address.h"

#include <exception>

namespace veltaro {

RelaySession::RelaySession(SessionPorts p)
    : format_(p.format), network_(p.network), outputNotice_([this](const Notice& n) { tell(n); }),
      settingsNotice_([this](const Notice& n) { tell(n); }),
      settings_(p.settings, settingsNotice_, p.format),
      controller_(p.serial, ControllerLink::ServerParts{p.network, p.settings, p.timers, p.clock},
                  [this](const Notice& n) { tell(n); }),
      file_(
          p.files, [this](const Notice& n) { tell(n); },
          [this] { return settings_.read(key::FrequencyFilePath, Settings::FilesSection); }),
      tracker_(p.format),
      selector_(p.clock, [this](const Notice& n) { tell(n); },
                {[this](const Reading& r) { take(r); },
                 [this] {
                     each([this](SessionObserver& o) { o.linkChanged(link()); });
                     updateFeed();
                 },
                 [this] { runTimers(); }}),
      setup_(settings_.readControllerSetup()), clock_(p.clock), timers_(p.timers),
      interlockSetup_(settings_.readInterlockSetup()),
      feed_(p.network.makeDatagramSender(), p.timers, [this](const Notice& n) { tell(n); }) {
    if (p.interlockLine) {
        interlock_ = std::make_unique<Interlock>(*p.interlockLine, p.timers, p.clock,
                                                 [this](const Notice& n) { tell(n); });
        interlock_->setStateHandler([this](const InterlockState& state) {
            interlockState_ = state;
            each([&](SessionObserver& o) { o.interlockChanged(state); });
            updateFeed();
        });
    }
    controller_.setLineBaud(setup_.lineBaud());
    controller_.setReceiveHandler([this](std::string_view bytes) {
        if (loop_)
            loop_->received(bytes);
    });
    useProtocol();
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
        portStateChanged();
        const PortStatus status = port();
        each([&](SessionObserver& o) { o.portChanged(status); });
        runTimers();
    });
    controller_.setResendHandler([this](const ControllerLink::SendOutcome& outcome) {
        if (outcome.written && interlock_)
            interlock_->faCommandSent();
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
    interlock_.reset(); // the line left inhibiting, then closed
    loop_.reset();
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
        run(*reopenTimer_, !ended_ && controller_.needsReopenTicks(), ReopenIntervalMs);
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
    // The setups as stored now: the window's model may have shown them before.
    setup_ = settings_.readControllerSetup();
    interlockSetup_ = settings_.readInterlockSetup();
    useProtocol();
    controller_.setLineBaud(setup_.lineBaud());
    each([this](SessionObserver& o) { o.antennaChanged(antenna_); });
    // Inhibiting from now until the controller is open.
    startInterlock();
    std::string why;
    if (const auto to = settings_.readFeedAddress(&why))
        feed_.open(*to);
    else if (!why.empty())
        tell({"The state feed is off: " + why + ".", NoticeTiming::Posted});
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
    // The line is left inhibiting before the controller's port closes.
    if (interlock_)
        interlock_->stop();
    controller_.close();
    updateFeed();
    feed_.close();
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
    const bool protocolChanged = setup.protocol != setup_.protocol;
    setup_ = setup;
    if (ended_)
        return;
    useProtocol();
    if (interlock_ && interlock_->state().kind != InterlockState::Kind::Off)
        interlock_->setPath(path());
    // A device open (or awaited) is opened again at the new rate; the loop hears it close and
    // open, and sends its target again.
    controller_.setLineBaud(setup_.lineBaud());
    if (protocolChanged)
        sendRelayedAgain();
}

void RelaySession::useProtocol() {
    if (setup_.protocol == ControllerSetup::Protocol::Fa) {
        loop_.reset();
        setAntenna(AntennaStatus{});
        return;
    }
    if (loop_) {
        loop_->setDirection(setup_.direction);
        return;
    }
    // The FA command kept for a reopen has no place on the controller's own protocol.
    controller_.forgetLastCommand();
    loop_ = std::make_unique<AntennaLoop>(
        clock_, timers_, [this](const Notice& n) { tell(n); },
        [this](const std::string& bytes) { return sendToController(bytes); }, setup_.direction);
    loop_->setStatusHandler([this](const AntennaStatus& status) { setAntenna(status); });
    portOpen_ = false;
    portStateChanged();
    setAntenna(loop_->status());
}

void RelaySession::sendRelayedAgain() {
    if (tracker_.relayedMhzText().empty())
        return; // nothing relayed yet
    if (loop_) {
        loop_->setTarget(std::int64_t{tracker_.relayedKHz()} * 1000);
        return;
    }
    const ControllerLink::SendOutcome sent = controller_.sendFrequency(tracker_.relayedKHz());
    if (sent.written && interlock_)
        interlock_->faCommandSent();
    each([&](SessionObserver& o) { o.commandSent(sent, tracker_.relayedMhzText()); });
}

void RelaySession::portStateChanged() {
    const bool open = controller_.isOpen();
    if (open == portOpen_)
        return;
    portOpen_ = open;
    if (interlock_)
        open ? interlock_->controllerOpened() : interlock_->controllerClosed();
    if (loop_)
        open ? loop_->portOpened() : loop_->portClosed();
}

// Every byte of the controller's own protocol goes through here; a set frame is the relay's
// command and is told as the FA command is, written or not.
bool RelaySession::sendToController(const std::string& bytes) {
    const bool written = controller_.sendBytes(bytes);
    if (bytes == steppir::statusRequest() || !loop_ || !loop_->status().targetHz)
        return written;
    const std::int64_t target = *loop_->status().targetHz;
    if (written && interlock_)
        interlock_->setFrameSent(target);
    ControllerLink::SendOutcome sent;
    sent.command = "set " + antennaMHzText(target) + " MHz";
    sent.written = written;
    if (!written)
        sent.why = controller_.portLabel() +
                   (controller_.waitingForDevice() ? " has gone away" : " is not open");
    each([&](SessionObserver& o) { o.commandSent(sent, tracker_.relayedMhzText()); });
    return written;
}

void RelaySession::setAntenna(const AntennaStatus& status) {
    if (status == antenna_)
        return;
    antenna_ = status;
    if (interlock_)
        interlock_->antennaChanged(antenna_);
    each([&](SessionObserver& o) { o.antennaChanged(antenna_); });
    updateFeed();
}

Interlock::Path RelaySession::path() const {
    return setup_.protocol == ControllerSetup::Protocol::Fa ? Interlock::Path::Fa
                                                            : Interlock::Path::Steppir;
}

void RelaySession::startInterlock() {
    if (!interlock_ || ended_)
        return;
    InterlockSetup setup = interlockSetup_;
    if (setup.port && *setup.port == controller_.portNumber()) {
        tell({"The transmit-inhibit line cannot be on COM " + std::to_string(*setup.port) +
                  ": that is the antenna controller's port. Give it a serial adapter of its own.",
              NoticeTiming::Posted});
        setup.port.reset();
    }
    interlock_->start(setup, path());
    if (controller_.isOpen())
        interlock_->controllerOpened();
}

void RelaySession::setInterlockSetup(const InterlockSetup& setup) {
    if (setup == interlockSetup_)
        return;
    settings_.writeInterlockSetup(setup, interlockSetup_);
    interlockSetup_ = setup;
    startInterlock();
}

FeedSnapshot RelaySession::feedSnapshot() const {
    FeedSnapshot s;
    if (radioKnown_)
        s.radioHz = std::int64_t{tracker_.receivedKHz()} * 1000;
    if (!tracker_.relayedMhzText().empty()) {
        s.relayedHz = std::int64_t{tracker_.relayedKHz()} * 1000;
        s.relayedMHz = tracker_.relayedMhzText();
    }
    s.antennaState = antenna_.state;
    s.antennaHz = antenna_.hz;
    s.antennaDirection = antenna_.direction;
    const std::string text = interlockState_.text();
    s.interlock = text.substr(0, text.find(':'));
    s.interlockReason = reasonText(interlockState_.reason);
    const LinkStatus& status = link();
    s.source = status.source ? status.source->name : "";
    s.link = status.state;
    s.linkReason = status.reason;
    return s;
}

void RelaySession::updateFeed() {
    feed_.update(feedSnapshot());
}

PortStatus RelaySession::port() const {
    return {controller_.portLabel(), controller_.isOpen(), controller_.waitingForDevice()};
}

void RelaySession::take(const Reading& reading) {
    const auto outcome = tracker_.take(reading);
    if (!outcome)
        return; // a reading that is not a number or out of range changes nothing shown
    if (const auto& relay = outcome->relay) {
        // The command goes first: nothing is shown or written before it is on the wire. On the
        // SteppIR path the loop sends the frame (at once unless one went less than 100 ms ago)
        // and tells it through sendToController().
        bool failed = false;
        if (loop_) {
            loop_->setTarget(std::int64_t{relay->khz} * 1000);
        } else {
            const ControllerLink::SendOutcome sent = controller_.sendFrequency(relay->khz);
            each([&](SessionObserver& o) { o.commandSent(sent, relay->mhzText); });
            if (sent.written && interlock_)
                interlock_->faCommandSent();
            failed = !sent.failure.empty();
            if (failed)
                outputNotice_.report(sent.failure);
        }
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
    radioKnown_ = true;
    each([&](SessionObserver& o) { o.readingTaken(outcome->receivedKHz, tracker_.relayedKHz()); });
    updateFeed();
}

} // namespace veltaro
