// Responsibilities: the texts of the network protocols of rig-control programs, apart from any
// transport: a frequency in Hz; rigctld's requests, the meaning of its reply lines and a line
// splitter for its byte stream; flrig's XML-RPC calls and responses; the RadioInfo datagrams of
// the N1MM logger's UDP broadcast, and the choice of the radio to follow among them. What comes
// from the network is checked and refused with a reason, never trusted; Hz stay exact integers.
// Collaborations: protocols/xml_reader reads the XML; the network sources (sources/) send the
// requests and feed what they receive in; the fuzz targets feed anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace veltaro {

// The range a radio frequency must fall in: from 1 kHz (below that it is more likely a reply in
// the wrong unit) to the largest the controller command can carry (eleven Hz digits).
inline constexpr std::int64_t MinRadioHz = 1000;
inline constexpr std::int64_t MaxRadioHz = 99'999'999'999;

// A frequency in Hz written as decimal digits with an optional fraction ("14074000",
// "14074000.000000"), blanks around it allowed; rounded to whole Hz. Anything else, or a value
// outside MinRadioHz..MaxRadioHz, gives nothing.
std::optional<std::int64_t> parseHertz(std::string_view text);

// ---- rigctld (Hamlib's network daemon), one request line, reply lines back ----

enum class RigctldRequest {
    Frequency,      // "f": the frequency of the current VFO
    Split,          // "s": split on or off, then the transmitting VFO
    SplitFrequency, // "i": the transmit frequency while in split
};
std::string_view rigctldRequestText(RigctldRequest request);

// What one reply line is, for the request outstanding.
struct RigctldLine {
    enum Kind {
        Frequency, // in Hz ("14074000", "Frequency: 14074000", after "i" "TX Frequency: ...")
        Split,     // after "s": "0" or "1" ("Split: 1")
        Vfo,       // after "s": the transmitting VFO ("VFOB", "TX VFO: VFOB")
        Report,    // "RPRT n": the end of a reply, an error when n is not 0
        Extra,     // a VFO name, a "VFO: ..." line or a blank line: belongs to a reply, ignored
        Malformed, // anything else: a reply that cannot be used
    };
    Kind kind = Malformed;
    std::int64_t hz = 0; // Frequency
    bool split = false;  // Split
    std::string vfo;     // Vfo
    int code = 0;        // Report
};
RigctldLine classifyRigctldLine(std::string_view line,
                                RigctldRequest asked = RigctldRequest::Frequency);
// Whether the line is the last of the reply to `asked` (a split reply ends at its VFO line).
bool endsRigctldReply(const RigctldLine& line, RigctldRequest asked);
// Whether an error report says that the command does not exist for this rig: Hamlib's "not
// implemented" (RPRT -4) or "not available" (RPRT -11). Any other error may pass (a radio
// switched off answers RPRT -5, a time-out).
bool isRigctldCommandMissing(int reportCode);

// Cuts a byte stream into lines ('\n' ends one; a '\r' before it stays for the classifier to
// trim), refusing any line, finished or not, longer than the limit.
class LineSplitter {
public:
    enum class Status { Line, More, TooLong };

    explicit LineSplitter(std::size_t maxLine) : max_(maxLine) {}
    void append(std::string_view bytes);
    // Line: *line is the next whole line, valid until the next append. More: the rest is an
    // unfinished line within the limit. TooLong: the next line is over the limit; everything
    // held is dropped.
    Status next(std::string_view* line);
    void clear();

private:
    std::size_t max_;
    std::string buffer_;
    std::size_t taken_ = 0; // bytes of buffer_ already handed out
};

// ---- flrig's XML-RPC server (HTTP POST to /RPC2) ----

struct FlrigMethod {
    static constexpr const char* Transceiver = "rig.get_xcvr"; // "" or "NONE" without one
    static constexpr const char* Frequency = "rig.get_vfo";    // the VFO in use, Hz
    static constexpr const char* Split = "rig.get_split";      // 0 or 1
    static constexpr const char* VfoInUse = "rig.get_AB";      // "A" or "B"
    static constexpr const char* VfoA = "rig.get_vfoA";        // Hz
    static constexpr const char* VfoB = "rig.get_vfoB";        // Hz
};

// A methodCall without parameters.
std::string xmlRpcCall(std::string_view method);

// The single value of a methodResponse (methodResponse > params > param > value), as text: the
// text of its string, int, i4, i8 or double, or of the value itself when it has no type. Nothing,
// with *error saying why, for a fault, any other type or shape, or a body that is no XML.
std::optional<std::string> parseXmlRpcResponse(std::string_view body, std::string* error);

// True when the error of parseXmlRpcResponse is the fault an XML-RPC server of flrig's kind
// answers for a method it does not have ("rig.get_split: unknown method name").
bool isUnknownMethodFault(std::string_view error, std::string_view method);

// True when rig.get_xcvr's answer means that flrig has no transceiver connected.
bool isNoFlrigTransceiver(std::string_view xcvr);

// ---- RadioInfo datagrams (the N1MM logger's UDP broadcast, port 12060 by default) ----

inline constexpr std::size_t MaxRadioInfoBytes = 8192;
inline constexpr int MaxRadioNumber = 255;

struct RadioInfo {
    int radio = 0;         // RadioNr
    std::int64_t rxHz = 0; // Freq, sent in units of 10 Hz
    std::int64_t txHz = 0; // TXFreq, likewise
    int activeRadio = 0;   // ActiveRadioNr: the radio the operator is on
};

// The four fields of a <RadioInfo> document (other elements, in any order, are passed over).
// Nothing, with *reason saying why, for anything else: another datagram, a field missing, twice
// or out of range, a frequency outside MinRadioHz..MaxRadioHz, XML that is not well formed or
// nested deeper than RadioInfo's fields need, or more than MaxRadioInfoBytes.
std::optional<RadioInfo> parseRadioInfo(std::string_view datagram, std::string* reason);

// The radio to follow among those that send RadioInfo: a chosen radio number, or (0) the one
// that the latest datagram names active.
class RadioChooser {
public:
    explicit RadioChooser(int radio = 0) : chosen_(radio) {}
    // Takes a datagram; the transmit frequency of the radio followed now, once it has sent one.
    std::optional<std::int64_t> take(const RadioInfo& info);

private:
    int chosen_;
    int active_ = 0;
    std::map<int, std::int64_t> txHz_; // by radio number, at most MaxRadioNumber entries
};

} // namespace veltaro
