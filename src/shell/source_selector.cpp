#include "shell/source_selector.h"

#include "about/app_identity.h"
#include "platform/errors.h"

#include <algorithm>
#include <utility>

namespace veltaro {

SourceSelector::SourceSelector(FrequencyTracker& tracker, IDialogs& dialogs,
                               FailureNotice& outputNotice, IClock& clock, Control& indicator,
                               std::function<void()> saveSettings)
    : tracker_(tracker), dialogs_(dialogs), outputNotice_(outputNotice), clock_(clock),
      indicator_(indicator), save_(std::move(saveSettings)) {}

void SourceSelector::add(Control& box, const SourceRegistration& registration,
                         std::unique_ptr<FrequencySource> source) {
    entries_.push_back(
        std::make_unique<Entry>(Entry{box, registration, std::move(source), false, {}, false}));
    Entry& e = *entries_.back();
    e.source->setHandlers({
        .reading = [this, &e](const Reading& r) { onReading(e, r); },
        .linked = [this, &e] { onLinked(e); },
        .lost = [this, &e](const std::string& reason) { onLost(e, reason); },
        .appeared = [this, &e] { onAppeared(e); },
        .notice = [this, &e](const std::string& text) { onNotice(e, text); },
    });
    box.setHandler([this, &e] { onToggled(e); });
}

SourceSelector::Entry* SourceSelector::ticked() const {
    for (const auto& e : entries_)
        if (e->box.value() == 1)
            return e.get();
    return nullptr;
}

const Control* SourceSelector::tickedBox() const {
    const Entry* e = ticked();
    return e ? &e->box : nullptr;
}

std::string SourceSelector::tickedPlace() const {
    const Entry* e = ticked();
    return e ? e->source->place() : std::string();
}

void SourceSelector::onToggled(Entry& e) {
    if (e.box.value() == 1) {
        // Each box cleared here runs its own handling, nested: it stops its source and saves.
        for (auto& other : entries_)
            if (other.get() != &e)
                other->box.setValue(0);
        e.told.clear();
        retryDue_ = false;
        backoffMs_ = FirstRetryMs;
        if (!link(e, Attempt::First)) {
            // The box stays ticked so that the choice survives, and the link is tried again;
            // the user is told once per tick, not at every try.
            if (e.registration.unavailableText)
                dialogs_.messageBox(e.registration.unavailableText, app::Title);
            return;
        }
    } else {
        e.source->stop();
        e.running = false;
        // Cleared for another box: that box's start tells the new state.
        if (!ticked()) {
            retryDue_ = false;
            setLinkState(LinkState::Unlinked);
        }
    }
    pollStateChanged_.notify();
    save_();
}

bool SourceSelector::link(Entry& e, Attempt attempt) {
    e.running = false;
    e.toldWhileLinking = false;
    const bool first = attempt == Attempt::First;
    try {
        if (e.source->linksLater()) {
            // The outcome comes through linked or lost, possibly before start() returns.
            e.running = true;
            if (attempt != Attempt::Retry) {
                reason_.clear();
                setLinkState(LinkState::Linking);
            }
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
    pollStateChanged_.notify();
    return true;
}

void SourceSelector::linkFailed(Entry& e, const std::string& reason, bool retryHelps) {
    e.running = false;
    reason_ = reason;
    if (retryHelps) {
        setLinkState(LinkState::Lost);
        scheduleRetry();
        return;
    }
    retryDue_ = false;
    setLinkState(LinkState::Failed);
    if (!e.toldWhileLinking)
        dialogs_.postMessage(
            describe(e.box.design().caption, e.source->place(), LinkState::Failed, reason_) + ".",
            app::Title);
    pollStateChanged_.notify();
}

void SourceSelector::scheduleRetry() {
    retryDue_ = true;
    nextRetryMs_ = clock_.nowMs() + backoffMs_;
    backoffMs_ = std::min(backoffMs_ * 2, LongestRetryMs);
    pollStateChanged_.notify();
}

void SourceSelector::onReading(const Entry& e, const Reading& r) {
    // Only the ticked source drives the antenna.
    if (e.box.value() != 1)
        return;
    const auto relaysBefore = tracker_.relays();
    try {
        tracker_.update(r);
        if (tracker_.relays() != relaysBefore)
            outputNotice_.clear();
    } catch (const FileError& err) {
        outputNotice_.report(err.what());
    } catch (const PortError& err) {
        outputNotice_.report(err.what());
    } catch (const Error&) {
        // A reading that is not a number or out of range changes nothing that is shown.
    }
}

void SourceSelector::onLinked(const Entry& e) {
    if (e.box.value() != 1 || !e.running)
        return;
    backoffMs_ = FirstRetryMs;
    retryDue_ = false;
    reason_.clear();
    setLinkState(LinkState::Linked);
    pollStateChanged_.notify();
}

void SourceSelector::onLost(Entry& e, const std::string& reason) {
    // A source that is no longer ticked has nothing left to lose.
    if (e.box.value() != 1 || !e.running)
        return;
    reason_ = reason;
    if (e.source->recoversByItself()) {
        // It keeps listening and tells linked when readings come again.
        setLinkState(LinkState::Lost);
        return;
    }
    e.running = false;
    setLinkState(LinkState::Lost);
    scheduleRetry();
}

void SourceSelector::onAppeared(Entry& e) {
    if (e.box.value() != 1 || e.running || !retryDue_)
        return;
    retryDue_ = false;
    link(e, Attempt::Retry);
}

void SourceSelector::onNotice(Entry& e, const std::string& text) {
    if (e.box.value() != 1)
        return;
    e.toldWhileLinking = true;
    if (e.told.insert(text).second)
        dialogs_.postMessage(text, app::Title);
}

void SourceSelector::setLinkState(LinkState s) {
    linkState_ = s;
    const Entry* e = ticked();
    indicator_.setEnabled(!e || s == LinkState::Linked);
    if (s == LinkState::Unlinked || s == LinkState::Linked)
        reason_.clear();
    indicator_.setToolTip(e ? describe(e->box.design().caption, e->source->place(), s, reason_)
                            : std::string());
    linkStateChanged_.notify();
}

std::string SourceSelector::describe(const std::string& caption, const std::string& place,
                                     LinkState state, const std::string& reason) {
    std::string text = caption;
    if (!place.empty())
        text += " at " + place;
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

void SourceSelector::relinkTicked() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        Entry& e = **it;
        if (e.box.value() != 1 || e.source->polled() || e.source->linksLater())
            continue;
        retryDue_ = false;
        link(e, Attempt::First);
    }
}

void SourceSelector::relink(const Control& box) {
    Entry* e = ticked();
    if (!e || &e->box != &box)
        return;
    e->source->stop();
    retryDue_ = false;
    backoffMs_ = FirstRetryMs;
    link(*e, Attempt::Again);
}

bool SourceSelector::pollNeeded() const {
    const Entry* e = ticked();
    return e && (retryDue_ || (e->running && e->source->polled()));
}

void SourceSelector::poll() {
    Entry* e = ticked();
    if (!e)
        return;
    if (retryDue_ && clock_.nowMs() >= nextRetryMs_) {
        retryDue_ = false;
        link(*e, Attempt::Retry);
    }
    if (e->running && e->source->polled() && e->box.value() == 1)
        e->source->poll();
}

void SourceSelector::closeAll() {
    for (auto& e : entries_) {
        e->running = false;
        e->source->close();
    }
    retryDue_ = false;
    setLinkState(LinkState::Unlinked);
    pollStateChanged_.notify();
}

} // namespace veltaro
