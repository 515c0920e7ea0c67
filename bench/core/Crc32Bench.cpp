// CRC-32 throughput: the library's checksum against a plain one-byte-per-step
// table loop over the same 64 MiB.
#include <cstdint>
#include <vector>

#include "BenchSupport.h"
#include "archive/core/CRC32.h"

namespace {

constexpr std::size_t kBufferSize = 64u << 20;
constexpr int kRepeats = 5;

std::vector<std::uint8_t> BenchData() {
  std::vector<std::uint8_t> data(kBufferSize);
  std::uint32_t state = 0x12345678;
  for (auto& b : data) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return data;
}

struct ByteTable {
  std::uint32_t Entries[256];
  ByteTable() {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t crc = i;
      for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
      Entries[i] = crc;
    }
  }
};

std::uint32_t ByteAtATime(const ByteTable& table, const std::uint8_t* data, std::size_t length) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < length; ++i) crc = (crc >> 8) ^ table.Entries[(crc ^ data[i]) & 0xFF];
  return ~crc;
}

void Run() {
  const std::vector<std::uint8_t> data = BenchData();
  const ByteTable table;

  std::uint32_t fastResult = 0;
  const double fast = bench::BestSeconds(kRepeats, [&] { fastResult = bzip2arc::CRC32Checksum(data.data(), data.size()); });
  std::uint32_t simpleResult = 0;
  const double simple = bench::BestSeconds(kRepeats, [&] { simpleResult = ByteAtATime(table, data.data(), data.size()); });

  const double fastRate = bench::MegabytesPerSecond(static_cast<double>(data.size()), fast);
  const double simpleRate = bench::MegabytesPerSecond(static_cast<double>(data.size()), simple);
  bench::Report("crc32 CRC32Checksum, 64 MiB", fastRate, "MB/s");
  bench::Report("crc32 one byte per step (reference), 64 MiB", simpleRate, "MB/s");
  bench::Report("crc32 speed-up over one byte per step", fastRate / simpleRate, "x",
                fastResult == simpleResult ? "results agree" : "RESULTS DIFFER");
}

const bench::RegisterSection kSection("crc32", Run);

}  // namespace
