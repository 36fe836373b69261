// flrig's XML-RPC server over HTTP/1.1 (POST /RPC2 on one kept-alive connection). A connection
// links once rig.get_xcvr names a transceiver (checked again every XcvrCheckMs); none counts as
// lost. Each round asks rig.get_split, then with split on the VFO not in use (rig.get_AB) and
// with split off the dial (rig.get_vfo). A fault to a split question follows the dial for that
// round only (flrig faults while the transceiver is off); only the fault of a method this flrig
// does not have follows the dial for the rest of the connection, told once.
#pragma once

#include "sources/rig_server_source.h"

#include <cstddef>
#include <optional>
#include <string>

namespace veltaro {

class FlrigSource : public RigServerSource {
public:
    static constexpr std::size_t MaxHeader = 4096;
    static constexpr std::size_t MaxBody = 65536;
    static constexpr std::int64_t XcvrCheckMs = 1000;

    FlrigSource(INetwork& network, IClock& clock, NetAddressSource address)
        : RigServerSource(network, clock, std::move(address), "flrig") {}

    void start() override {
        resume_.reset();
        idle_ = false;
        RigServerSource::start();
    }

private:
    enum class Step { Xcvr, Split, InUse, VfoA, VfoB, Dial };

    void onConnected() override;
    void beginRound() override;
    void onBytes(std::string_view bytes) override;
    void onClosed(const std::string& reason) override;
    void ask(Step step);
    void answered(int status, std::string_view body);
    // The split question asked got no usable answer (why: the parse error): the dial.
    void splitFailed(const std::string& why, const char* method);

    std::string buffer_;
    Step asked_ = Step::Xcvr;
    bool dialOnly_ = false;      // this flrig has no split method: the dial, on this connection
    bool serverCloses_ = false;  // the last response said "Connection: close"
    std::optional<Step> resume_; // asked once the new connection is up
    bool idle_ = false;          // the new connection waits for the next round
    std::int64_t xcvrAt_ = 0;
};

} // namespace veltaro
