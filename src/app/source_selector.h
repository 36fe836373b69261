// Responsibilities: the choice of frequency source and the link to it. At most one source is
// chosen: choosing one stops the one chosen before and starts it; a source whose program does
// not answer stays chosen, is told once as its registration says, and is linked again later.
// While it stays chosen, a source that is not linked, or loses its link, is linked again by
// itself, quietly: at once when its program appears, otherwise on the poll tick after a
// back-off of 250 ms that doubles up to 2 s and starts again at 250 ms once linked. A failure
// that trying again cannot mend is told once and not tried again until the source is chosen
// again or its address changes. Only the chosen source's readings are handed on, and a
// source's notice is told once per choice. The state of the link and the last reason it is down
// are kept and told.
// Collaborations: the relay session adds each registered source, owns the selector, hands the
// readings to the tracker and runs poll() while pollNeeded(); IClock times the back-off; the
// notices go to the session's NoticeSink.
#pragma once

#include "base/notice.h"
#include "ports/clock.h"
#include "sources/frequency_source.h"
#include "sources/registrations.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace veltaro {

// The link to the chosen source: none chosen or stopped (Unlinked), being made by a source that
// links later (Linking), up (Linked), failed or lost and tried again (Lost), or failed in a way
// that trying again cannot mend (Failed).
enum class LinkState { Unlinked, Linking, Linked, Lost, Failed };

struct LinkStatus {
    const SourceRegistration* source = nullptr; // the chosen source; nullptr: none
    std::string place;                          // "127.0.0.1:4532"; empty for a program by name
    LinkState state = LinkState::Unlinked;
    std::string reason; // why it is Lost or Failed, in plain words; may be empty

    // "Hamlib at 127.0.0.1:4532": the source and where it links.
    std::string sourceAndPlace() const;
    // "Hamlib at 127.0.0.1:4532: not linked (connection refused), trying again".
    std::string describe() const;
};

class SourceSelector {
public:
    static constexpr std::int64_t FirstRetryMs = 250;
    static constexpr std::int64_t LongestRetryMs = 2000;

    struct Handlers {
        std::function<void(const Reading&)> reading; // of the chosen source only
        std::function<void()> linkChanged;           // status() may have changed
        std::function<void()> pollChanged;           // pollNeeded() may have changed
    };

    SourceSelector(IClock& clock, NoticeSink notices, Handlers handlers);
    SourceSelector(const SourceSelector&) = delete;
    SourceSelector& operator=(const SourceSelector&) = delete;

    void add(const SourceRegistration& registration, std::unique_ptr<FrequencySource> source);

    // Stops the source chosen before and starts this one; false when its program did not answer
    // (told as its registration says; it stays chosen and is tried again later).
    bool choose(SourceId id);
    // Stops the source, if it is the chosen one; none is chosen then.
    void clear(SourceId id);
    std::optional<SourceId> chosen() const;

    // Links the chosen source once more when it is neither polled nor linked later; one that
    // does not answer is tried again later. Tells nothing.
    void relinkChosen();
    // Links the source again, if it is the chosen one: its address has changed.
    void relink(SourceId id);

    // Whether a tick of the poll timer has work: a polled source is chosen and running, or the
    // chosen source waits to be linked again.
    bool pollNeeded() const;
    void poll();

    // The program ends: every source lets go of its link.
    void closeAll();

    const LinkStatus& status() const { return status_; }

private:
    struct Entry {
        const SourceRegistration& registration;
        std::unique_ptr<FrequencySource> source;
        bool running = false;       // started, and its readings and losses count
        std::set<std::string> told; // notices told since it was chosen
        bool toldWhileLinking = false;
    };
    // A choice (start, shown as linking), a new address (restart, shown as linking), or a retry
    // (restart, the state shown stays until the outcome).
    enum class Attempt { First, Again, Retry };

    Entry* entry(SourceId id) const;
    bool isChosen(const Entry& e) const { return chosen_ == e.registration.id; }
    bool link(Entry& e, Attempt attempt);
    // The source did not answer: tried again after the back-off, or told once when trying
    // again cannot help.
    void linkFailed(Entry& e, const std::string& reason, bool retryHelps);
    void onLinked(const Entry& e);
    void onLost(Entry& e, const std::string& reason);
    void onAppeared(Entry& e);
    void onNotice(Entry& e, const std::string& text);
    void scheduleRetry();
    void setLinkState(LinkState s, std::string reason = {});
    void pollChanged() const;

    IClock& clock_;
    NoticeSink notices_;
    Handlers handlers_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::optional<SourceId> chosen_;
    LinkStatus status_;
    bool retryDue_ = false; // the chosen source waits for nextRetryMs_
    std::int64_t nextRetryMs_ = 0;
    std::int64_t backoffMs_ = FirstRetryMs;
};

} // namespace veltaro
