#include "sources/rig_server_source.h"

#include "protocols/net_address.h"
#include "relay/reading.h"

#include <string>
#include <utility>

namespace veltaro {

RigServerSource::RigServerSource(INetwork& network, IClock& clock, NetAddressSource address,
                                 std::string name)
    : network_(network), clock_(clock), address_(std::move(address)), name_(std::move(name)) {}

void RigServerSource::start() {
    current_ = address_();
    linked_ = false;
    refusedTold_ = false;
    connect();
}

void RigServerSource::connect() {
    if (!link_)
        link_ = network_.makeStreamLink();
    state_ = State::Connecting;
    waiting_ = false;
    since_ = now();
    link_->connect(current_, {[this] {
                                  state_ = State::Connected;
                                  onConnected();
                              },
                              [this](std::string_view bytes) {
                                  since_ = now();
                                  onBytes(bytes);
                              },
                              [this](const std::string& reason) {
                                  state_ = State::Idle;
                                  onClosed(reason);
                              }});
}

void RigServerSource::stop() {
    if (link_)
        link_->close();
    state_ = State::Idle;
    linked_ = false;
    waiting_ = false;
    toldDial_ = false;
}

std::string RigServerSource::place() const {
    return formatNetAddress(state_ == State::Idle ? address_() : current_);
}

void RigServerSource::poll() {
    if (state_ == State::Idle)
        return;
    if (state_ == State::Connecting || waiting_) {
        if (now() - since_ >= SilentMs)
            drop("no answer within " + std::to_string(SilentMs / 1000) + " s");
        return;
    }
    beginRound();
}

void RigServerSource::send(std::string_view bytes) {
    waiting_ = true;
    since_ = now();
    link_->send(bytes);
}

void RigServerSource::reading(std::int64_t hz) {
    markLinked();
    deliver(Reading::hertz(hz));
}

void RigServerSource::markLinked() {
    refusedTold_ = false;
    if (linked_)
        return;
    linked_ = true;
    reportLinked();
}

void RigServerSource::refused(const std::string& reason) {
    if (!linked_ && refusedTold_ && reason == lossReason_)
        return;
    linked_ = false;
    refusedTold_ = true;
    lossReason_ = reason;
    reportLost(reason);
}

void RigServerSource::drop(const std::string& reason) {
    if (state_ != State::Idle)
        link_->close();
    state_ = State::Idle;
    linked_ = false;
    waiting_ = false;
    refusedTold_ = false;
    lossReason_ = reason;
    reportLost(reason);
}

void RigServerSource::reconnect() {
    if (state_ != State::Idle)
        link_->close();
    connect();
}

void RigServerSource::splitUnreadable(const std::string& why) {
    if (toldDial_)
        return;
    toldDial_ = true;
    tell(name_ + " at " + formatNetAddress(current_) + ": " + why +
         ". Following the dial frequency.");
}

} // namespace veltaro
