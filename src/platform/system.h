// Responsibilities: small system services: giving up the time slice (Sleep) and the user's
// regional decimal separator.
// Collaborations: sources/trx_manager_source yields after each reading; relay/convert formats and
// parses with the separator that the front end reads from the platform.
#pragma once

#include <cstdint>

namespace veltaro {

class ISystem {
public:
    virtual ~ISystem() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The user's regional number format.
struct NumberFormat {
    char decimal = '.';
};

} // namespace veltaro
