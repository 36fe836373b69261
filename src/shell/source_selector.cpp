#include "shell/source_selector.h"

#include "about/app_identity.h"
#include "platform/errors.h"

#include <utility>

namespace veltaro {

SourceSelector::SourceSelector(FrequencyTracker& tracker, IDialogs& dialogs,
                               FailureNotice& outputNotice, std::function<void()> saveSettings)
    : tracker_(tracker), dialogs_(dialogs), outputNotice_(outputNotice),
      save_(std::move(saveSettings)) {}

void SourceSelector::add(Control& box, const SourceRegistration& registration,
                         std::unique_ptr<FrequencySource> source) {
    entries_.push_back(std::make_unique<Entry>(Entry{box, registration, std::move(source)}));
    Entry& e = *entries_.back();
    e.source->setHandlers([this, &e](const Reading& r) { onReading(e, r); },
                          [this, &e] { onLost(e); });
    box.setHandler([this, &e] { onToggled(e); });
}

void SourceSelector::onToggled(Entry& e) {
    if (e.box.value() == 1) {
        // Each box cleared here runs its own handling, nested: it stops its source and saves.
        for (auto& other : entries_)
            if (other.get() != &e)
                other->box.setValue(0);
        try {
            e.running = false;
            e.source->start();
            e.running = true;
        } catch (const Error&) {
            // The box stays ticked so that the choice survives; ticking it again retries.
            setLinkState(LinkState::Lost);
            pollStateChanged_.notify();
            if (e.registration.unavailableText)
                dialogs_.messageBox(e.registration.unavailableText, app::Title);
            return;
        }
        setLinkState(LinkState::Linked);
    } else {
        e.source->stop();
        e.running = false;
        // Cleared for another box: that box's start tells the new state.
        if (!tickedBox())
            setLinkState(LinkState::Unlinked);
    }
    pollStateChanged_.notify();
    save_();
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

void SourceSelector::onLost(const Entry& e) {
    // A source that is no longer ticked has nothing left to lose.
    if (e.box.value() == 1 && e.running)
        setLinkState(LinkState::Lost);
}

void SourceSelector::setLinkState(LinkState s) {
    linkState_ = s;
    linkStateChanged_.notify();
}

const Control* SourceSelector::tickedBox() const {
    for (const auto& e : entries_)
        if (e->box.value() == 1)
            return &e->box;
    return nullptr;
}

void SourceSelector::relinkTicked() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        Entry& e = **it;
        if (e.box.value() != 1 || e.source->polled())
            continue;
        try {
            e.source->start();
            e.running = true;
            setLinkState(LinkState::Linked);
        } catch (const Error&) {
            setLinkState(LinkState::Lost);
        }
    }
}

bool SourceSelector::pollNeeded() const {
    for (const auto& e : entries_)
        if (e->running && e->source->polled() && e->box.value() == 1)
            return true;
    return false;
}

void SourceSelector::poll() {
    for (auto& e : entries_)
        if (e->running && e->source->polled() && e->box.value() == 1)
            e->source->poll();
}

void SourceSelector::closeAll() {
    for (auto& e : entries_) {
        e->running = false;
        e->source->close();
    }
    setLinkState(LinkState::Unlinked);
    pollStateChanged_.notify();
}

} // namespace veltaro
