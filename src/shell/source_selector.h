// Responsibilities: the choice of frequency source and the link to it. At most one source box
// stays ticked: ticking one clears the others, starts its source and saves the settings; a
// source whose program does not answer keeps its box ticked, is told once as its registration
// says, and saves nothing. While its box stays ticked, a source that is not linked, or loses its
// link, is linked again by itself, quietly: at once when its program appears, otherwise on the
// poll tick after a back-off of 250 ms that doubles up to 2 s and starts again at 250 ms once
// linked. A failure that trying again cannot mend is told once and not tried again until the
// box is ticked again or the address changes. Only the ticked source's readings reach the
// tracker, whose 10 kHz rule holds across a new link; a failing output is told once per cause,
// and a source's notice once per tick of its box. Start-up links the ticked hot-linked sources
// again once the serial port is open. The state of the link and the last reason it is down are
// shown on an indicator (greyed while the ticked source is not linked, with a tooltip naming the
// source, where it links, its state and why) and kept for whoever else reports them.
// Collaborations: shell/main_window adds each registered source with its box and owns the
// selector; the front end runs poll() while pollNeeded(); relay/tracker takes the readings;
// IClock times the back-off; shell/headless reports the link state.
#pragma once

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "relay/tracker.h"
#include "shell/control.h"
#include "sources/failure_notice.h"
#include "sources/frequency_source.h"
#include "sources/registrations.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace veltaro {

class SourceSelector {
public:
    static constexpr std::int64_t FirstRetryMs = 250;
    static constexpr std::int64_t LongestRetryMs = 2000;

    SourceSelector(FrequencyTracker& tracker, IDialogs& dialogs, FailureNotice& outputNotice,
                   IClock& clock, Control& indicator, std::function<void()> saveSettings);
    SourceSelector(const SourceSelector&) = delete;
    SourceSelector& operator=(const SourceSelector&) = delete;

    // Ticking or clearing the box runs the choice at once, nested in the step that changed it.
    void add(Control& box, const SourceRegistration& registration,
             std::unique_ptr<FrequencySource> source);

    // Links the ticked sources that are neither polled nor linked later once more, the last
    // added first; a source that does not answer is tried again later. Neither saves nor tells
    // anything.
    void relinkTicked();
    // Links the source of the box again, if its box is ticked: its address has changed.
    void relink(const Control& box);

    // Whether a tick of the poll timer has work: a polled source is ticked and running, or the
    // ticked source waits to be linked again.
    bool pollNeeded() const;
    void poll();
    // Told whenever pollNeeded() may have changed.
    Signal& pollStateChanged() { return pollStateChanged_; }

    // The window is closing: every source lets go of its link.
    void closeAll();

    // The link to the ticked source: none ticked or stopped (Unlinked), being made by a source
    // that links later (Linking), up (Linked), failed or lost and tried again (Lost), or failed
    // in a way that trying again cannot mend (Failed).
    enum class LinkState { Unlinked, Linking, Linked, Lost, Failed };
    LinkState linkState() const { return linkState_; }
    // Why the ticked source is Lost or Failed, in plain words ("connection refused"); may be
    // empty.
    const std::string& linkReason() const { return reason_; }
    bool linked() const { return linkState_ == LinkState::Linked; }
    // The ticked source's box, or nullptr when no box is ticked.
    const Control* tickedBox() const;
    // Where the ticked source links ("127.0.0.1:4532"); empty for a program reached by name or
    // when no box is ticked.
    std::string tickedPlace() const;
    // Told whenever linkState() or tickedBox() may have changed.
    Signal& linkStateChanged() { return linkStateChanged_; }

    // The indicator's tooltip for a source: "Hamlib at 127.0.0.1:4532: linked", "Hamlib at
    // 127.0.0.1:4532: not linked (connection refused), trying again".
    static std::string describe(const std::string& caption, const std::string& place,
                                LinkState state, const std::string& reason = {});

private:
    struct Entry {
        Control& box;
        const SourceRegistration& registration;
        std::unique_ptr<FrequencySource> source;
        bool running = false;       // started, and its readings and losses count
        std::set<std::string> told; // notices told since the box was ticked
        bool toldWhileLinking = false;
    };
    // A tick of the box (start, shown as linking), a new address (restart, shown as linking),
    // or a retry (restart, the state shown stays until the outcome).
    enum class Attempt { First, Again, Retry };

    void onToggled(Entry& e);
    // Links the ticked source; false when it did not answer.
    bool link(Entry& e, Attempt attempt);
    // The source did not answer: tried again after the back-off, or told once when trying
    // again cannot help.
    void linkFailed(Entry& e, const std::string& reason, bool retryHelps);
    void onReading(const Entry& e, const Reading& r);
    void onLinked(const Entry& e);
    void onLost(Entry& e, const std::string& reason);
    void onAppeared(Entry& e);
    void onNotice(Entry& e, const std::string& text);
    void scheduleRetry();
    void setLinkState(LinkState s);
    Entry* ticked() const;

    FrequencyTracker& tracker_;
    IDialogs& dialogs_;
    FailureNotice& outputNotice_;
    IClock& clock_;
    Control& indicator_;
    std::function<void()> save_;
    std::vector<std::unique_ptr<Entry>> entries_;
    Signal pollStateChanged_;
    LinkState linkState_ = LinkState::Unlinked;
    std::string reason_;
    Signal linkStateChanged_;
    bool retryDue_ = false; // the ticked source waits for nextRetryMs_
    std::int64_t nextRetryMs_ = 0;
    std::int64_t backoffMs_ = FirstRetryMs;
};

} // namespace veltaro
