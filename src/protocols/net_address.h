// Responsibilities: the address of a rig server or a broadcast as the user writes it:
// "HOST:PORT", "PORT" or "[IPV6]:PORT", checked, with a one-line reason when it is bad, and
// written back for messages and the settings.
// Collaborations: the network sources read their stored address through it; the address
// dialog checks what the user typed.
#pragma once

#include "ports/network.h"

#include <optional>
#include <string>
#include <string_view>

namespace veltaro {

// Accepts "PORT", "HOST:PORT" and "[IPV6]:PORT" with blanks around. HOST is a host name
// (letters, digits, '-', '_', '.') or an IPv4 or bracketed IPv6 address; PORT is 1 to 65535 in
// decimal digits. A missing host is the default's. Nothing, with *why set, for a bad text.
std::optional<NetAddress> parseNetAddress(std::string_view text, const NetAddress& defaults,
                                          std::string* why);

// "127.0.0.1:4532", "[::1]:4532".
std::string formatNetAddress(const NetAddress& address);

} // namespace veltaro
