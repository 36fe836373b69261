// Responsibilities: the failures of the outside world, raised by the ports' implementations: a
// serial port, a file, a link to another program or a network peer that refused or did not
// answer. Text that cannot be read is never an error: parsers return nothing instead.
// Collaborations: raised by the adapters and the sources; each is met in one place: the relay
// session (the port, the file, the settings), the source selector (a source's link) and the
// About box (the system-information tool).
#pragma once

#include <stdexcept>
#include <string>

namespace veltaro {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The serial port refused an operation (no such device, in use, write failure).
class PortError : public Error {
public:
    using Error::Error;
};

// A file could not be written.
class FileError : public Error {
public:
    using Error::Error;
};

// A DDE link, an automation server or a network peer did not answer or refused. The text is
// the reason in plain words, for the user ("connection refused", "the bus name has no owner").
// A failure that trying again cannot mend (an address of another machine given to listen on)
// says so: the source is then not tried again until the user changes something.
class LinkError : public Error {
public:
    enum class Retry { Helps, Useless };
    explicit LinkError(const std::string& reason, Retry retry = Retry::Helps)
        : Error(reason), retry_(retry) {}
    bool retryHelps() const { return retry_ == Retry::Helps; }

private:
    Retry retry_;
};

} // namespace veltaro
