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
    static constexpr std::string_view names[] = {
        "VFOA",  "VFOB",  "VFOC", "VFO",  "currVFO", "MEM", "Main", "Sub", "MainA",
        "MainB", "MainC", "SubA", "SubB", "SubC",    "TX",  "RX",   "None"};
    return std::find(std::begin(names), std::end(names), word) != std::end(names);
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

std::optional<std::string> parseXmlRpcResponse(std::string_view body, std::string* error) {
    // A fault's value is a struct, a few levels below; nothing deeper is expected.
    XmlReader xml(body, 16);
    std::vector<std::string_view> path;
    std::optional<std::string> value; // the text of the value element itself
    std::string_view type;            // of the value, when it has one
    std::string typedText;
    bool fault = false;
    std::string faultText;
    const auto reject = [&](std::string why) {
        *error = std::move(why);
        return std::nullopt;
    };
    // Inside params > param > value, at depth 4 (the value) or 5 (its type).
    const auto inValue = [&] {
        return value && path.size() >= 4 && path[1] == "params" && path[2] == "param" &&
               path[3] == "value";
    };
    for (;;) {
        switch (xml.next()) {
        case XmlReader::Event::Start: {
            const std::string_view name = xml.name();
            if (path.empty() && name != "methodResponse")
                return reject("not an XML-RPC response");
            if (path.size() == 1 && name == "fault")
                fault = true;
            if (inValue() && path.size() == 4) {
                static constexpr std::string_view scalars[] = {"string", "int", "i4", "i8",
                                                               "double"};
                if (std::find(std::begin(scalars), std::end(scalars), name) == std::end(scalars))
                    return reject("a value of type " + std::string(name));
                if (!type.empty() || !trimmed(*value).empty())
                    return reject("a value of more than one part");
                type = name;
            } else if (inValue()) {
                return reject("an element inside a value of type " + std::string(type));
            }
            path.push_back(name);
            if (path.size() == 4 && inValue())
                return reject("more than one value");
            if (path.size() == 4 && path[1] == "params" && path[2] == "param" && name == "value")
                value.emplace();
            break;
        }
        case XmlReader::Event::End:
            path.pop_back();
            break;
        case XmlReader::Event::Text:
            if (fault)
                faultText += xml.text();
            else if (inValue() && path.size() == 5)
                typedText += xml.text();
            else if (inValue() && !type.empty() && !trimmed(xml.text()).empty())
                return reject("a value of more than one part");
            else if (inValue())
                *value += xml.text(); // an untyped value is a string
            break;
        case XmlReader::Event::Error:
            return reject("bad XML: " + xml.text());
        case XmlReader::Event::Done:
            if (fault)
                return reject("fault: " + simplified(faultText));
            if (!value)
                return reject("no value in the response");
            return type.empty() ? *value : typedText;
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

std::optional<RadioInfo> parseRadioInfo(std::string_view datagram, std::string* reason) {
    const auto reject = [&](std::string why) {
        *reason = std::move(why);
        return std::nullopt;
    };
    if (datagram.size() > MaxRadioInfoBytes)
        return reject("larger than " + std::to_string(MaxRadioInfoBytes) + " bytes");
    struct Field {
        std::string_view name;
        std::int64_t max; // in the units sent
        std::optional<std::int64_t> value;
    } fields[] = {{"RadioNr", MaxRadioNumber, {}},
                  {"Freq", MaxRadioHz / 10, {}},
                  {"TXFreq", MaxRadioHz / 10, {}},
                  {"ActiveRadioNr", MaxRadioNumber, {}}};
    // RadioInfo > field > (an unknown field's parts, ignored); nothing deeper.
    XmlReader xml(datagram, 3);
    Field* field = nullptr; // the field being read
    std::string text;
    for (;;) {
        switch (xml.next()) {
        case XmlReader::Event::Start:
            if (xml.depth() == 1 && xml.name() != "RadioInfo")
                return reject("a <" + std::string(xml.name().substr(0, 40)) +
                              "> datagram, not RadioInfo");
            if (field)
                return reject("an element inside <" + std::string(field->name) + ">");
            for (Field& f : fields)
                if (xml.depth() == 2 && xml.name() == f.name) {
                    if (f.value)
                        return reject("<" + std::string(f.name) + "> twice");
                    field = &f;
                    text.clear();
                }
            break;
        case XmlReader::Event::Text:
            if (field)
                text += xml.text();
            break;
        case XmlReader::Event::End:
            if (field) {
                field->value = unsignedNumber(text, field->max);
                if (!field->value)
                    return reject("<" + std::string(field->name) + "> is no number up to " +
                                  std::to_string(field->max));
                field = nullptr;
            }
            break;
        case XmlReader::Event::Error:
            return reject("bad XML: " + xml.text());
        case XmlReader::Event::Done: {
            for (const Field& f : fields)
                if (!f.value)
                    return reject("no <" + std::string(f.name) + ">");
            RadioInfo info{int(*fields[0].value), *fields[1].value * 10, *fields[2].value * 10,
                           int(*fields[3].value)};
            if (info.radio == 0 || info.activeRadio == 0)
                return reject("radio number 0");
            if (info.rxHz < MinRadioHz || info.txHz < MinRadioHz)
                return reject("a frequency below " + std::to_string(MinRadioHz) + " Hz");
            return info;
        }
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
