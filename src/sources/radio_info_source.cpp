#include "sources/radio_info_source.h"

#include "sources/net_address.h"

namespace veltaro {

void RadioInfoSource::start() {
    stop();
    current_ = address_();
    chooser_ = RadioChooser(radio_ ? radio_() : 0);
    if (!socket_)
        socket_ = network_.makeDatagramSocket();
    socket_->listen(current_, [this](std::string_view datagram) { take(datagram); });
    listening_ = true;
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
