// Progress percentages: rounded to the nearest whole number, halves to the
// even neighbour, and kept inside the 32-bit range whatever a damaged
// record's sizes make of them.
#pragma once

#include <cstdint>

namespace bzip2arc {

inline std::int32_t RoundPercent(double value) {
  if (!(value > -2147483648.0)) return INT32_MIN;  // also NaN
  if (value >= 2147483647.0) return INT32_MAX;
  auto whole = static_cast<std::int32_t>(value);  // towards zero
  if (static_cast<double>(whole) > value) --whole;  // floor
  const double fraction = value - static_cast<double>(whole);
  if ((fraction > 0.5 || (fraction == 0.5 && (whole & 1) != 0)) && whole < INT32_MAX) ++whole;
  return whole;
}

}  // namespace bzip2arc
