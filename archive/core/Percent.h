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

// A file's percentage as its share of a set of `count` files, of which it is
// number `index` (from 0): each file takes the same share, whatever its size.
inline std::int32_t OverallPercent(std::int32_t index, std::int32_t count, std::int32_t percent) {
  return RoundPercent(static_cast<double>(index) / count * 100.0 + static_cast<double>(percent) / count);
}

// The set's percentage as ExtractAll and ExtractSet report it: OverallPercent,
// but never below `shown`, the last one reported, which it updates. A record
// that decoded more than its Size would otherwise send the caller's bar
// back, and so could the report made while a disk is awaited.
inline std::int32_t SetPercent(std::int32_t index, std::int32_t count, std::int32_t percent, std::int32_t& shown) {
  const std::int32_t overall = OverallPercent(index, count, percent);
  if (overall > shown) shown = overall;
  return shown;
}

// The patch step's percentage of its file: the decompression of the patch
// stream showed 0 to 50, so the step carries on from there.
inline std::int32_t PatchPercent(std::int32_t done, std::int32_t total) {
  return total == 0 ? 100 : RoundPercent(50.0 + static_cast<double>(done) / total * 50.0);
}

}  // namespace bzip2arc
