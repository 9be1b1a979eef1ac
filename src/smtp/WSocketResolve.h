#pragma once

// Host, port and protocol resolution of the socket component. Failures raise ESocketException.

#include "platform/Net.h"

#include <cstdint>
#include <string>

namespace tafelbot {

// After leading spaces: not starting with ".", four decimal groups of at most 255 separated by
// three dots, then nothing but spaces.
bool WSocketIsDottedIP(const std::string& text);
// The dotted form of an address ("127.0.0.1").
std::string WSocketDottedText(platform::Ipv4 address);

// A dotted address converts directly; any other name is looked up (this waits for the resolver).
platform::Ipv4 WSocketResolveHost(const std::string& host);
// A number from 0 to 65535, or a service name looked up for the protocol.
std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);
// A number, "tcp" (6), "udp" (17), "raw" (255), or a protocol name looked up.
int WSocketResolveProto(const std::string& proto);

} // namespace tafelbot
