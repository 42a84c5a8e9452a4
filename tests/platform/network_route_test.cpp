// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/network_route.h"

#include <gtest/gtest.h>

#include <string>

namespace voltare::platform {
namespace {

const std::string kIpv4Heading =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

std::string Ipv4Route(const std::string& iface, const std::string& destination, const std::string& flags,
                      const std::string& mask) {
  return iface + "\t" + destination + "\t010200C0\t" + flags + "\t0\t0\t100\t" + mask + "\t0\t0\t0\n";
}

std::string Ipv6Route(const std::string& destination, const std::string& prefix, const std::string& flags,
                      const std::string& iface) {
  return destination + " " + prefix + " 00000000000000000000000000000000 00 " +
         "fe800000000000000000000000000001 00000400 00000002 00000000 " + flags + "     " + iface + "\n";
}

const std::string kZero128(32, '0');

TEST(DefaultRouteIPv4, GatewayAndPointToPointDefaultsCount) {
  EXPECT_TRUE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("eth0", "0002A8C0", "0001", "00FFFFFF") +
                                  Ipv4Route("eth0", "00000000", "0003", "00000000")));
  // A tunnel or dial-up link has no gateway flag.
  EXPECT_TRUE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("ppp0", "00000000", "0001", "00000000")));
}

TEST(DefaultRouteIPv4, NoDefaultOrAnUnusableOne) {
  EXPECT_FALSE(HasDefaultRouteIPv4(""));
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading));
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("eth0", "0002A8C0", "0001", "00FFFFFF")));
  // Destination 0 with a mask is a network route, not the default.
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("eth0", "00000000", "0001", "000000FF")));
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("eth0", "00000000", "0002", "00000000")));
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("eth0", "00000000", "0201", "00000000")));
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading + Ipv4Route("lo", "00000000", "0001", "00000000")));
  EXPECT_FALSE(HasDefaultRouteIPv4(kIpv4Heading + "eth0\t00000000\t00000000\tzz\t0\n"));
}

TEST(DefaultRouteIPv6, DefaultViaAnInterface) {
  EXPECT_TRUE(HasDefaultRouteIPv6(Ipv6Route("fe800000000000000000000000000000", "40", "00000001", "eth0") +
                                  Ipv6Route(kZero128, "00", "00000003", "eth0")));
}

TEST(DefaultRouteIPv6, TheKernelsUnreachableDefaultDoesNotCount) {
  // Every IPv6 table ends with a reject route to ::/0 on the loopback device.
  EXPECT_FALSE(HasDefaultRouteIPv6(Ipv6Route("fe800000000000000000000000000000", "40", "00000001", "eth0") +
                                   Ipv6Route(kZero128, "00", "00200200", "lo")));
  EXPECT_FALSE(HasDefaultRouteIPv6(Ipv6Route(kZero128, "00", "00200201", "eth0")));
  EXPECT_FALSE(HasDefaultRouteIPv6(Ipv6Route(kZero128, "40", "00000001", "eth0")));
  EXPECT_FALSE(HasDefaultRouteIPv6(""));
}

}  // namespace
}  // namespace voltare::platform
