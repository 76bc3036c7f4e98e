#pragma once
// A second count of the Gregorian calendar for the date targets: leap days summed from year 0, each month's
// length by the rule, any year (floor division, so years before 0 count too).

namespace qv::fuzz {

inline long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }
inline long long floorMod(long long a, long long b) { return a - floorDiv(a, b) * b; }

inline bool leap(long long y) { return floorMod(y, 4) == 0 && (floorMod(y, 100) != 0 || floorMod(y, 400) == 0); }

inline int monthLength(long long y, int m) {
  if (m < 1 || m > 12) return 0;
  if (m == 2) return leap(y) ? 29 : 28;
  return (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
}

inline bool calendarDate(long long y, int m, int d) { return d >= 1 && d <= monthLength(y, m); }

// Days from 1 January of year 0: 365 a year plus the leap days of the years before, then the months before.
inline long long days(long long y, int m, int d) {
  long long n = 365 * y + floorDiv(y + 3, 4) - floorDiv(y + 99, 100) + floorDiv(y + 399, 400);
  for (int k = 1; k < m; ++k) n += monthLength(y, k);
  return n + d - 1;
}

// 0 Sunday to 6 Saturday; 1 January 1900 was a Monday.
inline int weekday(long long y, int m, int d) {
  return static_cast<int>(floorMod(1 + days(y, m, d) - days(1900, 1, 1), 7));
}

}  // namespace qv::fuzz
