// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// DOS date-time values: a local date and time packed into 32 bits with
// two-second resolution (seconds/2 in bits 0-4, minutes 5-10, hours 11-15,
// day 16-20, month 21-24, year - 1980 in bits 25-31), and the program's
// date-time form, a day count since 1899-12-30 whose fraction is the time of day.

#include <cstdint>
#include <ctime>
#include <optional>

namespace voltare::platform {

// The DOS value of a moment given as a day count; 0 for a moment whose year
// lies before 1980 or after 2099, which the format cannot hold.
std::uint32_t DosDateTimeFromDayCount(double dayCount);

// The moment a DOS value names, read as local time. The value 0 stands for
// 1980-01-01 00:00:00, the earliest moment the format has; nothing for a value
// whose fields do not form a real date and time.
std::optional<std::time_t> LocalTimeFromDosDateTime(std::uint32_t dosDateTime);

}  // namespace voltare::platform
