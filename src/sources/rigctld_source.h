// Hamlib's rigctld over TCP: each round asks "s" (split and the transmit VFO), then "i" (the
// transmit frequency) when split is on, else "f" (the dial). A rigctld that cannot answer "s" or
// "i" is followed on the dial for the rest of the connection.
#pragma once

#include "sources/rig_protocols.h"
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

    LineSplitter lines_{MaxLine};
    RigctldRequest asked_ = RigctldRequest::Frequency;
    bool split_ = false;
    bool dialOnly_ = false; // the split query failed on this connection
};

} // namespace veltaro
