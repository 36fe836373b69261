// Responsibilities: the list of frequency sources the main window offers: for each, its check
// box in the window's description, the settings key of the box, what the user is told when its
// program cannot be reached, and how it is made. The order is the order in which start-up
// restores the boxes and the settings store them.
// Collaborations: shell/main_window hands each to the source selector; shell/settings takes
// the keys from here.
#pragma once

#include "platform/automation.h"
#include "platform/link_client.h"
#include "platform/system.h"
#include "sources/frequency_source.h"

#include <memory>
#include <span>

namespace veltaro {

struct SourceServices {
    ILinkClient& link;
    IAutomationClient& automation;
    ISystem& system;
};

struct SourceRegistration {
    const char* box;             // the check box's name in the main window's description
    const char* settingsKey;     // where the box's state is kept
    const char* unavailableText; // told when the program does not answer; nullptr: nothing
    std::unique_ptr<FrequencySource> (*make)(const SourceServices&);
};

std::span<const SourceRegistration> sourceRegistrations();

} // namespace veltaro
