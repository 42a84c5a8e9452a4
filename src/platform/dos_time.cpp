// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dos_time.h"

#include <chrono>
#include <cmath>

namespace voltare::platform {

namespace {

constexpr int kFirstDosYear = 1980;
constexpr int kLastDosYear = 2099;
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

struct DosFields {
  int year, month, day, hour, minute, second;
};

std::uint32_t Pack(const DosFields& f) {
  return static_cast<std::uint32_t>(f.second / 2) | static_cast<std::uint32_t>(f.minute) << 5 |
         static_cast<std::uint32_t>(f.hour) << 11 | static_cast<std::uint32_t>(f.day) << 16 |
         static_cast<std::uint32_t>(f.month) << 21 | static_cast<std::uint32_t>(f.year - kFirstDosYear) << 25;
}

DosFields Unpack(std::uint32_t value) {
  return DosFields{
      .year = static_cast<int>(value >> 25) + kFirstDosYear,
      .month = static_cast<int>((value >> 21) & 0x0F),
      .day = static_cast<int>((value >> 16) & 0x1F),
      .hour = static_cast<int>((value >> 11) & 0x1F),
      .minute = static_cast<int>((value >> 5) & 0x3F),
      .second = static_cast<int>(value & 0x1F) * 2,
  };
}

bool IsRealMoment(const DosFields& f) {
  using namespace std::chrono;
  const year_month_day date{year{f.year}, month{static_cast<unsigned>(f.month)}, day{static_cast<unsigned>(f.day)}};
  return date.ok() && f.hour < 24 && f.minute < 60 && f.second < 60;
}

}  // namespace

std::uint32_t DosDateTimeFromDayCount(double dayCount) {
  using namespace std::chrono;
  const double wholeDays = std::floor(dayCount);
  // The time of day to the nearest millisecond, as the date-time form is read.
  auto milliseconds = static_cast<std::int64_t>(std::llround((dayCount - wholeDays) * kMillisecondsPerDay));
  if (milliseconds >= kMillisecondsPerDay) milliseconds = kMillisecondsPerDay - 1;

  constexpr sys_days kDayZero = 1899y / December / 30;
  const year_month_day date{kDayZero + days{static_cast<std::int64_t>(wholeDays)}};
  const int yearNumber = static_cast<int>(date.year());
  if (yearNumber < kFirstDosYear || yearNumber > kLastDosYear) return 0;

  const auto seconds = milliseconds / 1000;
  return Pack(DosFields{
      .year = yearNumber,
      .month = static_cast<int>(static_cast<unsigned>(date.month())),
      .day = static_cast<int>(static_cast<unsigned>(date.day())),
      .hour = static_cast<int>(seconds / 3600),
      .minute = static_cast<int>(seconds / 60 % 60),
      .second = static_cast<int>(seconds % 60),
  });
}

std::optional<std::time_t> LocalTimeFromDosDateTime(std::uint32_t dosDateTime) {
  const DosFields f = dosDateTime == 0 ? DosFields{kFirstDosYear, 1, 1, 0, 0, 0} : Unpack(dosDateTime);
  if (!IsRealMoment(f)) return std::nullopt;

  std::tm local{};
  local.tm_year = f.year - 1900;
  local.tm_mon = f.month - 1;
  local.tm_mday = f.day;
  local.tm_hour = f.hour;
  local.tm_min = f.minute;
  local.tm_sec = f.second;
  local.tm_isdst = -1;  // let the time zone rules decide
  const std::time_t result = std::mktime(&local);
  if (result == static_cast<std::time_t>(-1)) return std::nullopt;
  return result;
}

}  // namespace voltare::platform
