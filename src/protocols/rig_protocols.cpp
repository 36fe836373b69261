#include "protocols/rig_protocols.h"

#include "protocols/xml_reader.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace veltaro {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Whole decimal digits, blanks around them allowed, up to `max`; nothing otherwise.
std::optional<std::int64_t> unsignedNumber(std::string_view text, std::int64_t max) {
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    std::int64_t v = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > max)
            return std::nullopt;
    }
    return v;
}

// "RPRT n": an int with an optional sign.
std::optional<int> reportCode(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    const auto v = unsignedNumber(text, std::int64_t(std::numeric_limits<int>::max()) + 1);
    if (!v || text.empty() || isBlank(text[0]) ||
        (!negative && *v > std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(negative ? -*v : *v);
}

// The VFO names that Hamlib prints.
bool isVfoName(std::string_view word) {
    static constexpr std::string_view VfoNames[] = {
        "VFOA",  "VFOB",  "VFOC", "VFO",  "currVFO", "MEM", "Main", "Sub", "MainA",
        "MainB", "MainC", "SubA", "SubB", "SubC",    "TX",  "RX",   "None"};
    return std::find(std::begin(VfoNames), std::end(VfoNames), word) != std::end(VfoNames);
}

std::optional<std::string_view> after(std::string_view text, std::string_view prefix) {
    if (!text.starts_with(prefix))
        return std::nullopt;
    return trimmed(text.substr(prefix.size()));
}

std::string simplified(std::string_view s) {
    std::string out;
    for (const char c : s) {
        if (!isBlank(c))
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace

std::optional<std::int64_t> parseHertz(std::string_view text) {
    text = trimmed(text);
    std::size_t i = 0;
    if (text.empty() || !isDigit(text[0]))
        return std::nullopt;
    std::int64_t hz = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        hz = hz * 10 + (text[i] - '0');
        if (hz > MaxRadioHz)
            return std::nullopt;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        const bool roundUp = i < text.size() && text[i] >= '5' && isDigit(text[i]);
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (roundUp)
            ++hz;
    }
    if (i != text.size() || hz < MinRadioHz || hz > MaxRadioHz)
        return std::nullopt;
    return hz;
}

// ---- rigctld ----

std::string_view rigctldRequestText(RigctldRequest request) {
    switch (request) {
    case RigctldRequest::Split:
        return "s\n";
    case RigctldRequest::SplitFrequency:
        return "i\n";
    case RigctldRequest::Frequency:
        break;
    }
    return "f\n";
}

RigctldLine classifyRigctldLine(std::string_view line, RigctldRequest asked) {
    const std::string_view text = trimmed(line);
    RigctldLine r;
    // VFO names follow the values they belong to, but are the answer itself after "s".
    const bool vfoLine = isVfoName(text) || text.starts_with("VFO:");
    if (text.empty() || (vfoLine && asked != RigctldRequest::Split)) {
        r.kind = RigctldLine::Extra;
    } else if (const auto code = after(text, "RPRT ")) {
        if (const auto n = reportCode(*code)) {
            r.kind = RigctldLine::Report;
            r.code = *n;
        }
    } else if (asked == RigctldRequest::Split) {
        const std::string_view value = after(text, "Split:").value_or(text);
        const std::string_view vfo = after(text, "TX VFO:").value_or(text);
        if (value == "0" || value == "1") {
            r.kind = RigctldLine::Split;
            r.split = value == "1";
        } else if (isVfoName(vfo)) {
            r.kind = RigctldLine::Vfo;
            r.vfo = vfo;
        }
    } else {
        const std::string_view label =
            asked == RigctldRequest::SplitFrequency ? "TX Frequency:" : "Frequency:";
        if (const auto hz = parseHertz(after(text, label).value_or(text))) {
            r.kind = RigctldLine::Frequency;
            r.hz = *hz;
        }
    }
    return r;
}

bool endsRigctldReply(const RigctldLine& line, RigctldRequest asked) {
    return line.kind != RigctldLine::Extra &&
           !(asked == RigctldRequest::Split && line.kind == RigctldLine::Split);
}

bool isRigctldCommandMissing(int reportCode) {
    return reportCode == -4 || reportCode == -11;
}

void LineSplitter::append(std::string_view bytes) {
    buffer_.erase(0, taken_);
    taken_ = 0;
    buffer_ += bytes;
}

LineSplitter::Status LineSplitter::next(std::string_view* line) {
    const std::size_t nl = buffer_.find('\n', taken_);
    const std::size_t length = (nl == buffer_.npos ? buffer_.size() : nl) - taken_;
    if (length > max_) {
        clear();
        return Status::TooLong;
    }
    if (nl == buffer_.npos)
        return Status::More;
    *line = std::string_view(buffer_).substr(taken_, length);
    taken_ = nl + 1;
    return Status::Line;
}

void LineSplitter::clear() {
    buffer_.clear();
    taken_ = 0;
}

// ---- XML-RPC ----

std::string xmlRpcCall(std::string_view method) {
    return "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>" + std::string(method) +
           "</methodName><params></params></methodCall>\r\n";
}

namespace {

// The state of an XML-RPC response as its elements go by: the path to the current element, the
// one value of params > param > value and its type, and a fault's text.
class ResponseReading {
public:
    explicit ResponseReading(std::string* error) : error_(error) {}

    // False, with the reason, when the element cannot be in a response that is read.
    bool start(std::string_view name) {
        if (path_.empty() && name != "methodResponse")
            return reject("not an XML-RPC response");
        if (path_.size() == 1 && name == "fault")
            fault_ = true;
        if (inValue() && path_.size() == 4) {
            static constexpr std::string_view Scalars[] = {"string", "int", "i4", "i8", "double"};
            if (std::find(std::begin(Scalars), std::end(Scalars), name) == std::end(Scalars))
                return reject("a value of type " + std::string(name));
            if (!type_.empty() || !trimmed(*value_).empty())
                return reject("a value of more than one part");
            type_ = name;
        } else if (inValue()) {
            return reject("an element inside a value of type " + std::string(type_));
        }
        path_.push_back(name);
        if (path_.size() == 4 && inValue())
            return reject("more than one value");
        if (path_.size() == 4 && path_[1] == "params" && path_[2] == "param" && name == "value")
            value_.emplace();
        return true;
    }
    void end() { path_.pop_back(); }
    bool text(std::string_view text) {
        if (fault_)
            faultText_ += text;
        else if (inValue() && path_.size() == 5)
            typedText_ += text;
        else if (inValue() && !type_.empty() && !trimmed(text).empty())
            return reject("a value of more than one part");
        else if (inValue())
            *value_ += text; // an untyped value is a string
        return true;
    }
    std::optional<std::string> done() {
        if (fault_)
            return rejected("fault: " + simplified(faultText_));
        if (!value_)
            return rejected("no value in the response");
        return type_.empty() ? *value_ : typedText_;
    }
    std::optional<std::string> rejected(std::string why) {
        *error_ = std::move(why);
        return std::nullopt;
    }

private:
    bool reject(std::string why) {
        *error_ = std::move(why);
        return false;
    }
    // Inside params > param > value, at depth 4 (the value) or 5 (its type).
    bool inValue() const {
        return value_ && path_.size() >= 4 && path_[1] == "params" && path_[2] == "param" &&
               path_[3] == "value";
    }

    std::string* error_;
    std::vector<std::string_view> path_;
    std::optional<std::string> value_; // the text of the value element itself
    std::string_view type_;            // of the value, when it has one
    std::string typedText_;
    bool fault_ = false;
    std::string faultText_;
};

} // namespace

std::optional<std::string> parseXmlRpcResponse(std::string_view body, std::string* error) {
    // A fault's value is a struct, a few levels below; nothing deeper is expected.
    XmlReader xml(body, 16);
    ResponseReading reading(error);
    for (;;) {
        switch (xml.next()) {
        case XmlReader::Event::Start:
            if (!reading.start(xml.name()))
                return std::nullopt;
            break;
        case XmlReader::Event::End:
            reading.end();
            break;
        case XmlReader::Event::Text:
            if (!reading.text(xml.text()))
                return std::nullopt;
            break;
        case XmlReader::Event::Error:
            return reading.rejected("bad XML: " + xml.text());
        case XmlReader::Event::Done:
            return reading.done();
        }
    }
}

bool isUnknownMethodFault(std::string_view error, std::string_view method) {
    return error.starts_with("fault: ") &&
           error.find(std::string(method) + ": unknown method name") != error.npos;
}

bool isNoFlrigTransceiver(std::string_view xcvr) {
    const std::string_view t = trimmed(xcvr);
    return t.empty() ||
           (t.size() == 4 &&
            std::equal(t.begin(), t.end(), "none", [](char a, char b) { return (a | 0x20) == b; }));
}

// ---- RadioInfo ----

namespace {

// The fields of a RadioInfo datagram that are read, as they go by.
class RadioInfoReading {
public:
    explicit RadioInfoReading(std::string* reason) : reason_(reason) {}

    bool start(const XmlReader& xml) {
        if (xml.depth() == 1 && xml.name() != "RadioInfo")
            return reject("a <" + std::string(xml.name().substr(0, 40)) +
                          "> datagram, not RadioInfo");
        if (field_)
            return reject("an element inside <" + std::string(field_->name) + ">");
        for (Field& f : fields_)
            if (xml.depth() == 2 && xml.name() == f.name) {
                if (f.value)
                    return reject("<" + std::string(f.name) + "> twice");
                field_ = &f;
                text_.clear();
            }
        return true;
    }
    void text(std::string_view text) {
        if (field_)
            text_ += text;
    }
    bool end() {
        if (!field_)
            return true;
        field_->value = unsignedNumber(text_, field_->max);
        if (!field_->value)
            return reject("<" + std::string(field_->name) + "> is no number up to " +
                          std::to_string(field_->max));
        field_ = nullptr;
        return true;
    }
    std::optional<RadioInfo> done() {
        for (const Field& f : fields_)
            if (!f.value)
                return rejected("no <" + std::string(f.name) + ">");
        RadioInfo info{int(*fields_[0].value), *fields_[1].value * 10, *fields_[2].value * 10,
                       int(*fields_[3].value)};
        if (info.radio == 0 || info.activeRadio == 0)
            return rejected("radio number 0");
        if (info.rxHz < MinRadioHz || info.txHz < MinRadioHz)
            return rejected("a frequency below " + std::to_string(MinRadioHz) + " Hz");
        return info;
    }
    std::optional<RadioInfo> rejected(std::string why) {
        reject(std::move(why));
        return std::nullopt;
    }

private:
    struct Field {
        std::string_view name;
        std::int64_t max; // in the units sent
        std::optional<std::int64_t> value;
    };
    bool reject(std::string why) {
        *reason_ = std::move(why);
        return false;
    }

    std::string* reason_;
    Field fields_[4] = {{"RadioNr", MaxRadioNumber, {}},
                        {"Freq", MaxRadioHz / 10, {}},
                        {"TXFreq", MaxRadioHz / 10, {}},
                        {"ActiveRadioNr", MaxRadioNumber, {}}};
    Field* field_ = nullptr; // the field being read
    std::string text_;
};

} // namespace

std::optional<RadioInfo> parseRadioInfo(std::string_view datagram, std::string* reason) {
    RadioInfoReading reading(reason);
    if (datagram.size() > MaxRadioInfoBytes)
        return reading.rejected("larger than " + std::to_string(MaxRadioInfoBytes) + " bytes");
    // RadioInfo > field > (an unknown field's parts, ignored); nothing deeper.
    XmlReader xml(datagram, 3);
    for (;;) {
        switch (xml.next()) {
        case XmlReader::Event::Start:
            if (!reading.start(xml))
                return std::nullopt;
            break;
        case XmlReader::Event::Text:
            reading.text(xml.text());
            break;
        case XmlReader::Event::End:
            if (!reading.end())
                return std::nullopt;
            break;
        case XmlReader::Event::Error:
            return reading.rejected("bad XML: " + xml.text());
        case XmlReader::Event::Done:
            return reading.done();
        }
    }
}

std::optional<std::int64_t> RadioChooser::take(const RadioInfo& info) {
    txHz_[info.radio] = info.txHz;
    active_ = info.activeRadio;
    const auto followed = txHz_.find(chosen_ != 0 ? chosen_ : active_);
    if (followed == txHz_.end())
        return std::nullopt;
    return followed->second;
}

} // namespace veltaro
