// RadioInfo datagrams of an N1MM-format logger's UDP broadcast: the transmit frequency of the
// radio chosen (N1MMRadio), or of the radio with transmit focus. The port is listened on while
// the box is ticked; the first good datagram links, StaleMs without one loses the link, and the
// next good one links again (the source recovers by itself). Datagrams that cannot be read are
// dropped and counted. A port another program already listens on, or an address of another
// machine, is told with what to do about it.
#pragma once

#include "ports/clock.h"
#include "ports/network.h"
#include "protocols/rig_protocols.h"
#include "sources/frequency_source.h"
#include "sources/rig_server_source.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace veltaro {

class RadioInfoSource : public FrequencySource {
public:
    static constexpr std::int64_t StaleMs = 15000;

    // radio: the radio number to follow, 0 for the active one; asked at each start.
    RadioInfoSource(INetwork& network, IClock& clock, NetAddressSource address,
                    std::function<int()> radio)
        : network_(network), clock_(clock), address_(std::move(address)), radio_(std::move(radio)) {
    }

    // Raises BindError when the address cannot be listened on, after telling why unless the
    // platform's reason says it all.
    void start() override;
    void stop() override;
    void close() override { stop(); }
    bool linksLater() const override { return true; }
    bool recoversByItself() const override { return true; }
    std::string place() const override;
    bool polled() const override { return true; }
    // Counts the silence.
    void poll() override;

    // Datagrams dropped since the source was made.
    std::uint64_t dropped() const { return dropped_; }

private:
    void take(std::string_view datagram);
    void tellBindFailure(const BindError& e);

    INetwork& network_;
    IClock& clock_;
    NetAddressSource address_;
    std::function<int()> radio_;
    std::unique_ptr<IDatagramSocket> socket_;
    NetAddress current_;
    RadioChooser chooser_;
    bool listening_ = false;
    bool linked_ = false;
    std::int64_t heardAt_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace veltaro
