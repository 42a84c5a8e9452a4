// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A moment given as the local calendar date and clock time, for tests of the
// DOS date and time fields, which are always local time.

#include <ctime>

namespace voltare::testing {

// The time_t of year-month-day hour:minute:second in the local time zone,
// summer time worked out by the C library.
inline std::time_t LocalMoment(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace voltare::testing
