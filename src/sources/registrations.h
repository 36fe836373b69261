// Responsibilities: the list of frequency sources the program offers: for each, its id, the
// name the user knows it by, the settings key of its box, what the user is told when its
// program cannot be reached, where its address is kept (for a source reached over the network),
// and how it is made. The order is the order in which start-up restores the boxes and the
// settings store them.
// Collaborations: the relay session hands each to the source selector; app/settings takes the
// keys from here; the main window's description gives each id its box.
#pragma once

#include "ports/automation.h"
#include "ports/clock.h"
#include "ports/link_client.h"
#include "ports/network.h"
#include "sources/frequency_source.h"

#include <functional>
#include <memory>
#include <span>
#include <string>

namespace veltaro {

enum class SourceId { Commander, TrxManager, Hrd, Hamlib, Flrig, N1mm };

struct SourceRegistration;

struct SourceServices {
    ILinkClient& link;
    IAutomationClient& automation;
    INetwork& network;
    IClock& clock;
    // The address stored for the source (its default when none is stored or it cannot be
    // used), read at each start so that an edited address takes effect at the next link.
    std::function<NetAddress(const SourceRegistration&)> address;
    // The text stored under a key of the addresses' section ("N1MMRadio"); empty when none is
    // stored. Read at each start, like the address.
    std::function<std::string(const char* key)> setting;
};

struct SourceRegistration {
    SourceId id;
    const char* name;            // as the user knows it: its box's caption, "Hamlib"
    const char* settingsKey;     // where the box's state is kept
    const char* unavailableText; // told when the program does not answer; nullptr: nothing
    const char* addressKey;      // its key in the addresses' section; nullptr: no address
    const char* defaultAddress;  // "HOST:PORT" when addressKey is set
    bool listens;                // the address is listened on here, not a server's to reach
    std::unique_ptr<FrequencySource> (*make)(const SourceServices&);
};

std::span<const SourceRegistration> sourceRegistrations();
const SourceRegistration& registrationOf(SourceId id);

} // namespace veltaro
