// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/network_route.h"

namespace voltare::platform {
namespace {

// Sets VOLTARE_ASSUME_ONLINE for one test and removes it again.
class AssumeOnline {
 public:
  explicit AssumeOnline(const char* value) { ::setenv("VOLTARE_ASSUME_ONLINE", value, 1); }
  ~AssumeOnline() { ::unsetenv("VOLTARE_ASSUME_ONLINE"); }
  AssumeOnline(const AssumeOnline&) = delete;
  AssumeOnline& operator=(const AssumeOnline&) = delete;
};

TEST(AssumeOnlineTest, OneAndZeroDecideAndAnythingElseLeavesItToTheRoutingTables) {
  const bool fromTables = HasDefaultRoute();
  {
    const AssumeOnline online("1");
    EXPECT_TRUE(HasDefaultRoute());
  }
  {
    const AssumeOnline offline("0");
    EXPECT_FALSE(HasDefaultRoute());
  }
  {
    const AssumeOnline unclear("yes");
    EXPECT_EQ(HasDefaultRoute(), fromTables);
  }
}

}  // namespace
}  // namespace voltare::platform
