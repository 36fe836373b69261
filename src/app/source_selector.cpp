#include "app/source_selector.h"

#include "base/errors.h"

#include <algorithm>
#include <utility>

namespace veltaro {

std::string LinkStatus::sourceAndPlace() const {
    if (!source)
        return {};
    return place.empty() ? std::string(source->name) : source->name + (" at " + place);
}

std::string LinkStatus::describe() const {
    const std::string text = sourceAndPlace();
    const std::string why = reason.empty() ? std::string() : " (" + reason + ")";
    switch (state) {
    case LinkState::Linked:
        return text + ": linked";
    case LinkState::Linking:
        return text + ": linking";
    case LinkState::Lost:
        return text + ": not linked" + why + ", trying again";
    case LinkState::Failed:
        return text + ": not linked" + why;
    case LinkState::Unlinked:
        break;
    }
    return text + ": not linked";
}

SourceSelector::SourceSelector(IClock& clock, NoticeSink notices, Handlers handlers)
    : clock_(clock), notices_(std::move(notices)), handlers_(std::move(handlers)) {}

void SourceSelector::add(const SourceRegistration& registration,
                         std::unique_ptr<FrequencySource> source) {
    entries_.push_back(
        std::make_unique<Entry>(Entry{registration, std::move(source), false, {}, false}));
    Entry& e = *entries_.back();
    e.source->setHandlers({
        .reading =
            [this, &e](const Reading& r) {
                // Only the chosen source drives the antenna.
                if (isChosen(e) && handlers_.reading)
                    handlers_.reading(r);
            },
        .linked = [this, &e] { onLinked(e); },
        .lost = [this, &e](const std::string& reason) { onLost(e, reason); },
        .appeared = [this, &e] { onAppeared(e); },
        .notice = [this, &e](const std::string& text) { onNotice(e, text); },
    });
}

SourceSelector::Entry* SourceSelector::entry(SourceId id) const {
    for (const auto& e : entries_)
        if (e->registration.id == id)
            return e.get();
    return nullptr;
}

std::optional<SourceId> SourceSelector::chosen() const {
    return chosen_;
}

void SourceSelector::pollChanged() const {
    if (handlers_.pollChanged)
        handlers_.pollChanged();
}

bool SourceSelector::choose(SourceId id) {
    Entry* e = entry(id);
    if (!e)
        return false;
    if (chosen_ && *chosen_ != id)
        if (Entry* before = entry(*chosen_)) {
            before->source->stop();
            before->running = false;
        }
    chosen_ = id;
    e->told.clear();
    retryDue_ = false;
    backoffMs_ = FirstRetryMs;
    if (!link(*e, Attempt::First)) {
        // It stays chosen so that the choice survives, and the link is tried again; the user
        // is told once per choice, not at every try.
        if (e->registration.unavailableText)
            notices_({e->registration.unavailableText, NoticeTiming::AtOnce});
        return false;
    }
    pollChanged();
    return true;
}

void SourceSelector::clear(SourceId id) {
    Entry* e = entry(id);
    if (!e || !isChosen(*e))
        return;
    e->source->stop();
    e->running = false;
    chosen_.reset();
    retryDue_ = false;
    setLinkState(LinkState::Unlinked);
    pollChanged();
}

bool SourceSelector::link(Entry& e, Attempt attempt) {
    e.running = false;
    e.toldWhileLinking = false;
    const bool first = attempt == Attempt::First;
    try {
        if (e.source->linksLater()) {
            // The outcome comes through linked or lost, possibly before start() returns.
            e.running = true;
            if (attempt != Attempt::Retry)
                setLinkState(LinkState::Linking);
            first ? e.source->start() : e.source->restart();
        } else {
            first ? e.source->start() : e.source->restart();
            e.running = true;
            onLinked(e);
        }
    } catch (const LinkError& err) {
        linkFailed(e, err.what(), err.retryHelps());
        return false;
    } catch (const Error& err) {
        linkFailed(e, err.what(), true);
        return false;
    }
    pollChanged();
    return true;
}

void SourceSelector::linkFailed(Entry& e, const std::string& reason, bool retryHelps) {
    e.running = false;
    if (retryHelps) {
        setLinkState(LinkState::Lost, reason);
        scheduleRetry();
        return;
    }
    retryDue_ = false;
    setLinkState(LinkState::Failed, reason);
    if (!e.toldWhileLinking)
        notices_({status_.describe() + ".", NoticeTiming::Posted});
    pollChanged();
}

void SourceSelector::scheduleRetry() {
    retryDue_ = true;
    nextRetryMs_ = clock_.nowMs() + backoffMs_;
    backoffMs_ = std::min(backoffMs_ * 2, LongestRetryMs);
    pollChanged();
}

void SourceSelector::onLinked(const Entry& e) {
    if (!isChosen(e) || !e.running)
        return;
    backoffMs_ = FirstRetryMs;
    retryDue_ = false;
    setLinkState(LinkState::Linked);
    pollChanged();
}

void SourceSelector::onLost(Entry& e, const std::string& reason) {
    // A source that is no longer chosen has nothing left to lose.
    if (!isChosen(e) || !e.running)
        return;
    if (e.source->recoversByItself()) {
        // It keeps listening and tells linked when readings come again.
        setLinkState(LinkState::Lost, reason);
        return;
    }
    e.running = false;
    setLinkState(LinkState::Lost, reason);
    scheduleRetry();
}

void SourceSelector::onAppeared(Entry& e) {
    if (!isChosen(e) || e.running || !retryDue_)
        return;
    retryDue_ = false;
    link(e, Attempt::Retry);
}

void SourceSelector::onNotice(Entry& e, const std::string& text) {
    if (!isChosen(e))
        return;
    e.toldWhileLinking = true;
    if (e.told.insert(text).second)
        notices_({text, NoticeTiming::Posted});
}

void SourceSelector::setLinkState(LinkState s, std::string reason) {
    const Entry* e = chosen_ ? entry(*chosen_) : nullptr;
    status_.source = e ? &e->registration : nullptr;
    status_.place = e ? e->source->place() : std::string();
    status_.state = s;
    // A retry keeps the reason shown until its outcome is known.
    if (s == LinkState::Lost || s == LinkState::Failed)
        status_.reason = std::move(reason);
    else
        status_.reason.clear();
    if (handlers_.linkChanged)
        handlers_.linkChanged();
}

void SourceSelector::relinkChosen() {
    Entry* e = chosen_ ? entry(*chosen_) : nullptr;
    if (!e || e->source->polled() || e->source->linksLater())
        return;
    retryDue_ = false;
    link(*e, Attempt::First);
}

void SourceSelector::relink(SourceId id) {
    Entry* e = entry(id);
    if (!e || !isChosen(*e))
        return;
    e->source->stop();
    retryDue_ = false;
    backoffMs_ = FirstRetryMs;
    link(*e, Attempt::Again);
}

bool SourceSelector::pollNeeded() const {
    const Entry* e = chosen_ ? entry(*chosen_) : nullptr;
    return e && (retryDue_ || (e->running && e->source->polled()));
}

void SourceSelector::poll() {
    Entry* e = chosen_ ? entry(*chosen_) : nullptr;
    if (!e)
        return;
    if (retryDue_ && clock_.nowMs() >= nextRetryMs_) {
        retryDue_ = false;
        link(*e, Attempt::Retry);
    }
    if (e->running && e->source->polled() && isChosen(*e))
        e->source->poll();
}

void SourceSelector::closeAll() {
    for (auto& e : entries_) {
        e->running = false;
        e->source->close();
    }
    retryDue_ = false;
    setLinkState(LinkState::Unlinked);
    pollChanged();
}

} // namespace veltaro
