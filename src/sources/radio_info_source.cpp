#include "sources/radio_info_source.h"

#include "protocols/net_address.h"

#include <string>

namespace veltaro {

void RadioInfoSource::start() {
    stop();
    current_ = address_();
    chooser_ = RadioChooser(radio_ ? radio_() : 0);
    if (!socket_)
        socket_ = network_.makeDatagramSocket();
    try {
        socket_->listen(current_, [this](std::string_view datagram) { take(datagram); });
    } catch (const BindError& e) {
        tellBindFailure(e);
        throw;
    }
    listening_ = true;
}

void RadioInfoSource::tellBindFailure(const BindError& e) {
    const std::string cannot = "N1MM UDP cannot listen on " + formatNetAddress(current_) + ": ";
    const std::string where = "right-click the N1MM UDP box.";
    switch (e.cause()) {
    case BindError::Cause::InUse:
        tell(cannot + "another program already listens on port " + std::to_string(current_.port) +
             ". Have the logger also send its RadioInfo to a second port (N1MM Logger+ takes "
             "several destinations) and give Veltaro that port: " +
             where);
        break;
    case BindError::Cause::NotHere:
        tell(cannot + current_.host +
             " is not an address of this computer. Give an address of this computer (127.0.0.1 "
             "when the logger runs here): " +
             where);
        break;
    case BindError::Cause::Other:
        break; // the reason shows where the link is shown
    }
}

void RadioInfoSource::stop() {
    if (socket_ && listening_)
        socket_->close();
    listening_ = false;
    linked_ = false;
}

std::string RadioInfoSource::place() const {
    return formatNetAddress(listening_ ? current_ : address_());
}

void RadioInfoSource::take(std::string_view datagram) {
    if (!listening_)
        return;
    std::string why;
    const auto info = parseRadioInfo(datagram, &why);
    if (!info) {
        ++dropped_;
        return;
    }
    heardAt_ = clock_.nowMs();
    if (!linked_) {
        linked_ = true;
        reportLinked();
    }
    if (const auto hz = chooser_.take(*info))
        deliver(Reading::hertz(*hz));
}

void RadioInfoSource::poll() {
    if (linked_ && clock_.nowMs() - heardAt_ >= StaleMs) {
        linked_ = false;
        reportLost("no datagram for 15 s"); // still listening: the next datagram links again
    }
}

} // namespace veltaro
