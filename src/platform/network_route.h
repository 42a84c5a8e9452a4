// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the machine can reach other networks: it has a usable default route.
// This answers the program's "is a connection up?" question before it looks
// for an update, so that nothing is tried while the machine is offline.

#include <string_view>

namespace voltare::platform {

// True when the IPv4 routing table (the text of /proc/net/route) holds a
// default route (destination and mask 0) that is up, not a reject route and
// not on the loopback interface.
bool HasDefaultRouteIPv4(std::string_view procNetRoute);

// The same for the IPv6 routing table (the text of /proc/net/ipv6_route): a
// route to ::/0 that is up, not a reject route and not on the loopback
// interface.
bool HasDefaultRouteIPv6(std::string_view procNetIpv6Route);

// Reads both tables of the running system; a table that cannot be read counts
// as having no default route. The environment variable VOLTARE_ASSUME_ONLINE
// set to "1" or "0" gives the answer instead.
bool HasDefaultRoute();

}  // namespace voltare::platform
