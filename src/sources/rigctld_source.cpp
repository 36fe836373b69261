#include "sources/rigctld_source.h"

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
            drop("reply line too long");
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
    const bool error =
        r.kind != (asked_ == RigctldRequest::Split ? RigctldLine::Vfo : RigctldLine::Frequency);
    if (asked_ == RigctldRequest::Frequency) {
        if (!error)
            reading(r.hz);
    } else if (error) {
        // The split state or frequency cannot be read: the dial, from now on.
        dialOnly_ = true;
        followDial();
        ask(RigctldRequest::Frequency);
    } else if (asked_ == RigctldRequest::Split) {
        ask(split_ ? RigctldRequest::SplitFrequency : RigctldRequest::Frequency);
    } else {
        reading(r.hz);
    }
}

} // namespace veltaro
