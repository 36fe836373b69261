// Hamlib's rigctld over TCP: each round asks "s" (split and the transmit VFO), then "i" (the
// transmit frequency) when split is on, else "f" (the dial). An error to "s" or "i" follows the
// dial for that round only (a radio switched off answers RPRT -5); only a reply that the command
// is not implemented or not available for this rig follows the dial for the rest of the
// connection, told once. An error to "f" is no link, for that reason, until a good reading.
#pragma once

#include "protocols/rig_protocols.h"
#include "sources/rig_server_source.h"

namespace veltaro {

class RigctldSource : public RigServerSource {
public:
    static constexpr std::size_t MaxLine = 256;

    RigctldSource(INetwork& network, IClock& clock, NetAddressSource address)
        : RigServerSource(network, clock, std::move(address), "Hamlib") {}

private:
    void onConnected() override;
    void beginRound() override;
    void onBytes(std::string_view bytes) override;
    void handle(std::string_view line);
    void ask(RigctldRequest request);
    // The split question asked got no usable answer: the dial, this round or from now on.
    void splitFailed(const RigctldLine& reply);

    LineSplitter lines_{MaxLine};
    RigctldRequest asked_ = RigctldRequest::Frequency;
    bool split_ = false;
    bool dialOnly_ = false; // the rig has no split command: the dial, on this connection
};

} // namespace veltaro
