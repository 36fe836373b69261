// Responsibilities: the error types that core operations raise. Each handler decides how to meet
// them (no handling, leave at the first failure, or skip the failing step).
// Collaborations: raised by the number conversions, the serial port, the frequency file, the DDE
// and automation links; caught by the handlers in shell/, sources/ and about/.
#pragma once

#include <stdexcept>
#include <string>

namespace veltaro {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text that is not a number ("Type mismatch").
class ConversionError : public Error {
public:
    using Error::Error;
};

// A value outside the range of its integer type.
class OverflowError : public Error {
public:
    using Error::Error;
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
