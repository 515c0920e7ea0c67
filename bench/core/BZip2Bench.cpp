// The decompression stream against a bare libbz2 loop over the same data, so
// that its own overhead (input refills from the source, the checks, the
// position bookkeeping) shows as a ratio.
#include <bzlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "archive/core/BZip2.h"
#include "archive/core/MemoryStream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPayloadSize = 32u << 20;
constexpr std::int32_t kChunk = 10241;
constexpr int kRounds = 11;

// A third each of word-like text, random bytes and byte runs, mixed in
// 1 MiB stretches so that every block sort sees a blend.
Bytes MixedPayload() {
  static const char* const words[] = {"setup",   "archive", "volume", "the",    "of",      "and",   "file",
                                      "install", "program", "disk",   "window", "library", "error", "data",
                                      "system",  "folder",  "copy",   "a",      "to",      "in"};
  std::mt19937 generator(2024);
  Bytes out;
  out.reserve(kPayloadSize);
  constexpr std::size_t stretch = 1u << 20;
  for (unsigned part = 0; out.size() < kPayloadSize; ++part) {
    const std::size_t end = std::min(out.size() + stretch, kPayloadSize);
    switch (part % 3) {
      case 0:
        while (out.size() < end) {
          const char* word = words[generator() % (sizeof words / sizeof *words)];
          out.insert(out.end(), word, word + std::strlen(word));
          out.push_back(generator() % 12 == 0 ? '\n' : ' ');
        }
        break;
      case 1:
        while (out.size() < end) out.push_back(static_cast<std::uint8_t>(generator()));
        break;
      default:
        while (out.size() < end) out.insert(out.end(), 1 + generator() % 300, static_cast<std::uint8_t>(generator()));
        break;
    }
    out.resize(end);
  }
  return out;
}

Bytes Compress(const Bytes& data) {
  unsigned capacity = static_cast<unsigned>(data.size() + data.size() / 100 + 600);
  Bytes out(capacity);
  if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &capacity,
                               const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                               static_cast<unsigned>(data.size()), 9, 0, 0) != BZ_OK)
    throw std::runtime_error("compression failed");
  out.resize(capacity);
  return out;
}

std::size_t ThroughStream(bzip2arc::TMemoryStream& source, std::uint8_t* chunk, const Bytes* expected) {
  source.SetPosition(0);
  auto stream = std::make_unique<bzip2arc::TBZDecompressionStream>(source);
  stream->Seek(0, bzip2arc::soBeginning);
  std::size_t total = 0;
  std::int32_t got = 0;
  do {
    got = stream->Read(chunk, kChunk);
    if (expected != nullptr && std::memcmp(chunk, expected->data() + total, static_cast<std::size_t>(got)) != 0)
      throw std::runtime_error("stream output differs");
    total += static_cast<std::size_t>(got);
  } while (got == kChunk);
  return total;
}

std::size_t ThroughLibrary(const Bytes& compressed, std::uint8_t* chunk) {
  bz_stream record{};
  if (BZ2_bzDecompressInit(&record, 0, 0) != BZ_OK) throw std::runtime_error("init failed");
  record.next_in = const_cast<char*>(reinterpret_cast<const char*>(compressed.data()));
  record.avail_in = static_cast<unsigned>(compressed.size());
  std::size_t total = 0;
  int result = BZ_OK;
  do {
    record.next_out = reinterpret_cast<char*>(chunk);
    record.avail_out = kChunk;
    result = BZ2_bzDecompress(&record);
    if (result < 0) throw std::runtime_error("decompression failed");
    total += kChunk - record.avail_out;
  } while (result != BZ_STREAM_END);
  BZ2_bzDecompressEnd(&record);
  return total;
}

void Run() {
  const Bytes payload = MixedPayload();
  const Bytes compressed = Compress(payload);
  bench::Report("bzip2 payload", static_cast<double>(payload.size()) / 1e6, "MB",
                "compressed " + std::to_string(compressed.size() / 1000) + " kB at level 9");
  bzip2arc::TMemoryStream source(compressed);
  std::vector<std::uint8_t> chunk(kChunk);

  if (ThroughStream(source, chunk.data(), &payload) != payload.size()) throw std::runtime_error("stream too short");
  if (ThroughLibrary(compressed, chunk.data()) != payload.size()) throw std::runtime_error("library too short");

  // Many short rounds, alternating, so that load from other processes hits
  // both alike (a few long rounds let one burst decide the ratio); the
  // processor time is reported too, as it suffers less from a busy machine.
  struct Best {
    double Wall = 1e30;
    double Cpu = 1e30;
  } stream, library;
  const auto measure = [](Best& best, const std::function<void()>& work) {
    const std::clock_t start = std::clock();
    best.Wall = std::min(best.Wall, bench::BestSeconds(1, work));
    best.Cpu = std::min(best.Cpu, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  };
  for (int round = 0; round < kRounds; ++round) {
    measure(stream, [&] { ThroughStream(source, chunk.data(), nullptr); });
    measure(library, [&] { ThroughLibrary(compressed, chunk.data()); });
  }
  const double bytes = static_cast<double>(payload.size());
  const double streamRate = bench::MegabytesPerSecond(bytes, stream.Wall);
  const double libraryRate = bench::MegabytesPerSecond(bytes, library.Wall);
  bench::Report("TBZDecompressionStream, 10241-byte reads", streamRate, "MB/s", "decompressed bytes, wall clock");
  bench::Report("bare BZ2_bzDecompress, 10241-byte chunks", libraryRate, "MB/s", "decompressed bytes, wall clock");
  bench::Report("stream / bare libbz2", streamRate / libraryRate, "x", "wall clock; target >= 0.97");
  bench::Report("stream / bare libbz2, processor time", library.Cpu / stream.Cpu, "x", "target >= 0.97");
}

const bench::RegisterSection section("bzip2", Run);

}  // namespace
