// Responsibilities: the choice of frequency source. At most one source box stays ticked:
// ticking one clears the others, starts its source and saves the settings; a source whose
// program does not answer keeps its box ticked, is told as its registration says, and saves
// nothing. Only the ticked source's readings reach the tracker; a failing output is told once
// per cause. Start-up links the ticked hot-linked sources again once the serial port is open.
// It also keeps the state of the link to the ticked source, for whoever shows it.
// Collaborations: shell/main_window adds each registered source with its box and owns the
// selector; the front end runs poll() while pollNeeded(); relay/tracker takes the readings;
// shell/headless reports the link state.
#pragma once

#include "platform/dialogs.h"
#include "relay/tracker.h"
#include "shell/control.h"
#include "sources/failure_notice.h"
#include "sources/frequency_source.h"
#include "sources/registrations.h"

#include <functional>
#include <memory>
#include <vector>

namespace veltaro {

class SourceSelector {
public:
    SourceSelector(FrequencyTracker& tracker, IDialogs& dialogs, FailureNotice& outputNotice,
                   std::function<void()> saveSettings);
    SourceSelector(const SourceSelector&) = delete;
    SourceSelector& operator=(const SourceSelector&) = delete;

    // Ticking or clearing the box runs the choice at once, nested in the step that changed it.
    void add(Control& box, const SourceRegistration& registration,
             std::unique_ptr<FrequencySource> source);

    // Links the ticked sources that are not polled once more, the last added first; a source
    // that does not answer is skipped. Neither saves nor tells anything.
    void relinkTicked();

    // Whether a tick of the poll timer has work: a polled source is ticked and running.
    bool pollNeeded() const;
    void poll();
    // Told whenever pollNeeded() may have changed.
    Signal& pollStateChanged() { return pollStateChanged_; }

    // The window is closing: every source lets go of its link.
    void closeAll();

    // The link to the ticked source: none yet or stopped (Unlinked), started without error
    // (Linked), or its start failed or the source told that the link was lost (Lost).
    enum class LinkState { Unlinked, Linked, Lost };
    LinkState linkState() const { return linkState_; }
    bool linked() const { return linkState_ == LinkState::Linked; }
    // The ticked source's box, or nullptr when no box is ticked.
    const Control* tickedBox() const;
    // Told whenever linkState() or tickedBox() may have changed.
    Signal& linkStateChanged() { return linkStateChanged_; }

private:
    struct Entry {
        Control& box;
        const SourceRegistration& registration;
        std::unique_ptr<FrequencySource> source;
        bool running = false;
    };

    void onToggled(Entry& e);
    void onReading(const Entry& e, const Reading& r);
    void onLost(const Entry& e);
    void setLinkState(LinkState s);

    FrequencyTracker& tracker_;
    IDialogs& dialogs_;
    FailureNotice& outputNotice_;
    std::function<void()> save_;
    std::vector<std::unique_ptr<Entry>> entries_;
    Signal pollStateChanged_;
    LinkState linkState_ = LinkState::Unlinked;
    Signal linkStateChanged_;
};

} // namespace veltaro
