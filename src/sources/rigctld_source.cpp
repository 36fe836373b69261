#include "sources/rigctld_source.h"

#include <string>

namespace veltaro {

void RigctldSource::onConnected() {
    lines_.clear();
    dialOnly_ = false;
    beginRound();
}

void RigctldSource::beginRound() {
    ask(dialOnly_ ? RigctldRequest::Frequency : RigctldRequest::Split);
}

void RigctldSource::ask(RigctldRequest request) {
    asked_ = request;
    split_ = false;
    send(rigctldRequestText(request));
}

void RigctldSource::onBytes(std::string_view bytes) {
    lines_.append(bytes);
    for (std::string_view line;;) {
        switch (lines_.next(&line)) {
        case LineSplitter::Status::Line:
            handle(line);
            if (!connected())
                return;
            break;
        case LineSplitter::Status::More:
            return;
        case LineSplitter::Status::TooLong:
            drop("a reply line longer than " + std::to_string(MaxLine) + " bytes");
            return;
        }
    }
}

void RigctldSource::handle(std::string_view line) {
    if (!waiting())
        return; // nothing was asked: a stray line
    const RigctldLine r = classifyRigctldLine(line, asked_);
    if (r.kind == RigctldLine::Split)
        split_ = r.split;
    if (!endsRigctldReply(r, asked_))
        return;
    replied();
    switch (asked_) {
    case RigctldRequest::Frequency:
        if (r.kind == RigctldLine::Frequency)
            reading(r.hz);
        else if (r.kind == RigctldLine::Report && r.code != 0)
            refused("the rig answered an error (RPRT " + std::to_string(r.code) + ")");
        return;
    case RigctldRequest::Split:
        if (r.kind == RigctldLine::Vfo)
            ask(split_ ? RigctldRequest::SplitFrequency : RigctldRequest::Frequency);
        else
            splitFailed(r);
        return;
    case RigctldRequest::SplitFrequency:
        if (r.kind == RigctldLine::Frequency)
            reading(r.hz);
        else
            splitFailed(r);
        return;
    }
}

void RigctldSource::splitFailed(const RigctldLine& reply) {
    if (reply.kind == RigctldLine::Report && isRigctldCommandMissing(reply.code)) {
        dialOnly_ = true;
        splitUnreadable(
            std::string("reading ") +
            (asked_ == RigctldRequest::Split ? "split" : "the transmit frequency in split") +
            " is " + (reply.code == -4 ? "not implemented" : "not available") +
            " for this rig (RPRT " + std::to_string(reply.code) + ")");
    }
    ask(RigctldRequest::Frequency);
}

} // namespace veltaro
