#include "sources/flrig_source.h"

#include "protocols/net_address.h"
#include "protocols/rig_protocols.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace veltaro {

namespace {

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

struct ResponseHead {
    int status = 0;
    std::size_t length = 0;
    bool closes = false;
};

// The status line and the headers that matter of an HTTP/1.x response head (without the blank
// line); nothing when it is not one or its body has no Content-Length.
std::optional<ResponseHead> parseHead(std::string_view head) {
    ResponseHead r;
    std::size_t end = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, end);
    if (!statusLine.starts_with("HTTP/1.") || statusLine.size() < 12 || statusLine[8] != ' ')
        return std::nullopt;
    for (std::size_t i = 9; i < 12; ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9')
            return std::nullopt;
        r.status = r.status * 10 + (statusLine[i] - '0');
    }
    r.closes = statusLine.starts_with("HTTP/1.0"); // unless it says keep-alive
    bool hasLength = false;
    while (end != head.npos) {
        const std::size_t start = end + 2;
        end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, end == head.npos ? end : end - start);
        const std::size_t colon = line.find(':');
        if (colon == line.npos)
            return std::nullopt;
        const std::string name = lowered(line.substr(0, colon));
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        if (name == "content-length") {
            if (value.empty() || value.size() > 7 ||
                value.find_first_not_of("0123456789") != value.npos)
                return std::nullopt;
            r.length = std::stoul(std::string(value));
            hasLength = true;
        } else if (name == "transfer-encoding") {
            return std::nullopt; // flrig never chunks; nothing else is read
        } else if (name == "connection") {
            r.closes = lowered(value) != "keep-alive";
        }
    }
    if (!hasLength)
        return std::nullopt;
    return r;
}

} // namespace

void FlrigSource::onConnected() {
    buffer_.clear();
    serverCloses_ = false;
    if (const auto step = std::exchange(resume_, std::nullopt)) {
        ask(*step);
        return;
    }
    if (std::exchange(idle_, false))
        return; // the next round waits for the poll timer
    dialOnly_ = false;
    ask(Step::Xcvr);
}

void FlrigSource::beginRound() {
    if (now() - xcvrAt_ >= XcvrCheckMs)
        ask(Step::Xcvr);
    else
        ask(dialOnly_ ? Step::Dial : Step::Split);
}

void FlrigSource::ask(Step step) {
    static constexpr const char* Methods[] = {FlrigMethod::Transceiver, FlrigMethod::Split,
                                              FlrigMethod::VfoInUse,    FlrigMethod::VfoA,
                                              FlrigMethod::VfoB,        FlrigMethod::Frequency};
    if (serverCloses_) {
        // The server closes after its reply: the request goes on a new connection.
        resume_ = step;
        serverCloses_ = false;
        reconnect();
        return;
    }
    asked_ = step;
    if (step == Step::Xcvr)
        xcvrAt_ = now();
    const std::string body = xmlRpcCall(Methods[static_cast<int>(step)]);
    send("POST /RPC2 HTTP/1.1\r\nHost: " + place() +
         "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body);
}

void FlrigSource::onBytes(std::string_view bytes) {
    if (!waiting())
        return; // nothing was asked
    buffer_ += bytes;
    // The head, up to its blank line, holds at most MaxHeader bytes; while the blank line has
    // not come, the last three bytes may be its start.
    const std::size_t blank = buffer_.find("\r\n\r\n");
    if (blank == buffer_.npos ? buffer_.size() > MaxHeader + 3 : blank > MaxHeader) {
        drop("a reply header longer than " + std::to_string(MaxHeader) + " bytes");
        return;
    }
    if (blank == buffer_.npos)
        return;
    const auto head = parseHead(std::string_view(buffer_).substr(0, blank));
    if (!head) {
        drop("not an HTTP reply that can be read");
        return;
    }
    if (head->length > MaxBody) {
        drop("a reply body longer than " + std::to_string(MaxBody) + " bytes");
        return;
    }
    if (buffer_.size() < blank + 4 + head->length)
        return;
    const std::string body = buffer_.substr(blank + 4, head->length);
    buffer_.erase(0, blank + 4 + head->length);
    serverCloses_ = head->closes;
    replied();
    answered(head->status, body);
}

void FlrigSource::onClosed(const std::string& reason) {
    if (serverCloses_ && !waiting()) {
        idle_ = true; // as announced: the next round goes on a new connection
        reconnect();
    } else
        drop(reason);
}

void FlrigSource::answered(int status, std::string_view body) {
    std::string why;
    const std::optional<std::string> value =
        status == 200 ? parseXmlRpcResponse(body, &why) : std::nullopt;
    switch (asked_) {
    case Step::Xcvr:
        if (!value || isNoFlrigTransceiver(*value)) {
            drop(value ? "no transceiver" : "bad reply to rig.get_xcvr");
            return;
        }
        markLinked();
        ask(dialOnly_ ? Step::Dial : Step::Split);
        return;
    case Step::Split:
        if (value == "1")
            ask(Step::InUse);
        else if (value == "0")
            ask(Step::Dial);
        else
            splitFailed(why, FlrigMethod::Split);
        return;
    case Step::InUse:
        if (value == "A")
            ask(Step::VfoB);
        else if (value == "B")
            ask(Step::VfoA);
        else
            splitFailed(why, FlrigMethod::VfoInUse);
        return;
    case Step::VfoA:
    case Step::VfoB:
    case Step::Dial:
        if (const auto hz = value ? parseHertz(*value) : std::nullopt)
            reading(*hz);
        return;
    }
}

void FlrigSource::splitFailed(const std::string& why, const char* method) {
    // A fault while the transceiver is off passes; a method this flrig lacks does not come.
    if (isUnknownMethodFault(why, method)) {
        dialOnly_ = true;
        splitUnreadable(std::string("this flrig has no method ") + method);
    }
    ask(Step::Dial);
}

} // namespace veltaro
