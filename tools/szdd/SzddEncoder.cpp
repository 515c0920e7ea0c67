#include "SzddEncoder.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "SzddFormat.h"

namespace bzip2arc {
namespace {

// Distance 4,096 would read the window slot that the same step writes; decoders
// agree on reading first, but the gain is nil, so the encoder stays clear of it.
constexpr std::size_t kMaxDistance = kSzddWindowSize - 1;

// The data as the decoder's window sees it: the never-written slots read as
// blanks, so the text is the data behind kMaxDistance blanks and a match at
// distance d reads text[x - d], overlapping the bytes being written if d is small.
constexpr std::size_t kPrefix = kMaxDistance;

constexpr unsigned kHashBits = 16;
constexpr std::int32_t kNone = -1;

unsigned Hash3(const std::uint8_t* p) {
  const std::uint32_t v = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

struct Match {
  std::uint8_t Length = 0;  // 0: none of kSzddMinMatch bytes or more
  std::uint16_t Distance = 0;
};

// The longest match at every data position, over every distance the window
// allows. Any shorter length at the same distance matches too.
std::vector<Match> FindLongestMatches(const std::vector<std::uint8_t>& text, std::size_t dataLength) {
  std::vector<Match> matches(dataLength);
  if (text.size() < kSzddMinMatch) return matches;
  std::vector<std::int32_t> head(std::size_t{1} << kHashBits, kNone);
  std::vector<std::int32_t> previous(text.size(), kNone);
  const std::size_t lastStart = text.size() - kSzddMinMatch;
  for (std::size_t x = 0; x <= lastStart; ++x) {
    const unsigned hash = Hash3(&text[x]);
    if (x >= kPrefix) {
      const std::size_t limit = std::min(kSzddMaxMatch, text.size() - x);
      const std::uint8_t* here = &text[x];
      std::size_t best = kSzddMinMatch - 1;
      std::size_t bestDistance = 0;
      for (std::int32_t c = head[hash]; c != kNone && x - static_cast<std::size_t>(c) <= kMaxDistance;
           c = previous[static_cast<std::size_t>(c)]) {
        const std::uint8_t* there = &text[static_cast<std::size_t>(c)];
        if (there[best] != here[best]) continue;
        std::size_t length = 0;
        while (length < limit && there[length] == here[length]) ++length;
        if (length > best) {
          best = length;
          bestDistance = x - static_cast<std::size_t>(c);
          if (best == limit) break;
        }
      }
      if (bestDistance != 0) {
        matches[x - kPrefix] = {static_cast<std::uint8_t>(best), static_cast<std::uint16_t>(bestDistance)};
      }
    }
    previous[x] = head[hash];
    head[hash] = static_cast<std::int32_t>(x);
  }
  return matches;
}

// Shortest parse, counted in bytes: a literal takes 1, a reference 2, and the
// first item of every group of eight brings its flag byte. The state is the
// number of items already in the current group, so the count is exact.
// Returns the item length chosen at each (position, state): 1 for a literal.
std::vector<std::uint8_t> ChooseItems(const std::vector<Match>& matches) {
  constexpr std::size_t kStates = kSzddItemsPerGroup;
  const std::size_t n = matches.size();
  std::vector<std::uint32_t> cost((n + 1) * kStates, 0);
  std::vector<std::uint8_t> choice(n * kStates, 1);
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t state = 0; state < kStates; ++state) {
      const std::uint32_t flag = state == 0 ? 1 : 0;
      const std::size_t next = (state + 1) % kStates;
      std::uint32_t best = 1 + flag + cost[(i + 1) * kStates + next];
      std::uint8_t bestLength = 1;
      for (std::size_t length = kSzddMinMatch; length <= matches[i].Length; ++length) {
        const std::uint32_t candidate = 2 + flag + cost[(i + length) * kStates + next];
        if (candidate <= best) {
          best = candidate;
          bestLength = static_cast<std::uint8_t>(length);
        }
      }
      cost[i * kStates + state] = best;
      choice[i * kStates + state] = bestLength;
    }
  }
  return choice;
}

void AppendHeader(std::vector<std::uint8_t>& out, std::uint32_t expandedLength) {
  out.insert(out.end(), std::begin(kSzddMagic), std::end(kSzddMagic));
  out.push_back(kSzddModeA);
  out.push_back(0);  // the replaced file-name character: not recorded
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(expandedLength >> shift));
}

}  // namespace

std::vector<std::uint8_t> SzddEncode(std::span<const std::uint8_t> data) {
  // The header holds 32 bits; the parse's tables must not overflow on 32-bit hosts.
  constexpr std::size_t kMaxInput = std::min<std::size_t>(std::numeric_limits<std::uint32_t>::max(),
                                                          std::numeric_limits<std::size_t>::max() / 64);
  const std::size_t n = data.size();
  if (n > kMaxInput) throw std::length_error("input too long for SZDD");
  std::vector<std::uint8_t> text(kPrefix + n);
  std::fill_n(text.begin(), kPrefix, kSzddWindowFill);
  std::copy(data.begin(), data.end(), text.begin() + kPrefix);
  const std::vector<Match> matches = FindLongestMatches(text, n);
  const std::vector<std::uint8_t> choice = ChooseItems(matches);
  text = {};

  std::vector<std::uint8_t> out;
  out.reserve(kSzddHeaderSize + n + n / kSzddItemsPerGroup + 1);
  AppendHeader(out, static_cast<std::uint32_t>(n));
  std::size_t flagAt = 0;
  std::size_t state = 0;
  for (std::size_t i = 0; i < n;) {
    if (state == 0) {
      flagAt = out.size();
      out.push_back(0);
    }
    const std::size_t length = choice[i * kSzddItemsPerGroup + state];
    if (length == 1) {
      out[flagAt] |= static_cast<std::uint8_t>(1u << state);
      out.push_back(data[i]);
    } else {
      // Slot of data byte j is (start + j) mod size; the source is the slot of byte i - distance.
      const std::size_t source = (kSzddWindowStart + kSzddWindowSize + i - matches[i].Distance) & kSzddWindowMask;
      out.push_back(static_cast<std::uint8_t>(source & 0xFF));
      out.push_back(static_cast<std::uint8_t>(((source >> 4) & 0xF0) | (length - kSzddMinMatch)));
    }
    i += length;
    state = (state + 1) % kSzddItemsPerGroup;
  }
  return out;
}

}  // namespace bzip2arc
