// Reading date-time texts in fixed formats (never the machine's locale) and calendar differences.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wendrel {

// Seconds since 1970-01-01 00:00:00 of "DD/MM/YY hh:mm:ss" (day and month of one or two digits,
// year of two or four digits, time optional, seconds optional; two-digit years 00-29 are
// 2000-2029 and 30-99 are 1930-1999) or ISO 8601 "YYYY-MM-DD[Thh:mm[:ss[.fff]]][Z|+hh:mm]" (an
// offset is taken off, giving UTC). Nothing for a text that is none of these or no real date.
std::optional<int64_t> ParseDateTime(std::string_view text);

// Unit boundaries crossed from `from` to `to`: "s" seconds, "n" minutes, "h" hours, "d" calendar
// days, "ww" Sundays (weeks starting on Sunday). Nothing for another unit.
std::optional<int64_t> CalendarDifference(const std::string& unit, int64_t from, int64_t to);

}  // namespace wendrel
