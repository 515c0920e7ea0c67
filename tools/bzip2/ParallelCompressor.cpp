#include "ParallelCompressor.h"

#include <algorithm>

#include "BlockCompressor.h"
#include "Parallel.h"

namespace bzip2arc {

ParallelCompressor::ParallelCompressor(int blockSize100k, unsigned threads, Output output)
    : blockSize100k_(blockSize100k),
      inFlight_((threads > 0 ? threads : HardwareThreads()) + 1),
      output_(std::move(output)),
      tracker_(blockSize100k),
      joined_(blockSize100k),
      work_(threads > 0 ? threads : HardwareThreads()) {}

ParallelCompressor::~ParallelCompressor() = default;

void ParallelCompressor::Write(std::span<const std::uint8_t> content) {
  const std::int64_t contentStart = fed_ + static_cast<std::int64_t>(held_.size());
  for (const std::size_t start : tracker_.AddAndFindStarts(content)) {
    Feed(static_cast<std::int64_t>(start), content, contentStart);
    SubmitBlock();
  }
  // The pending run may yet go to the next block.
  Feed(static_cast<std::int64_t>(tracker_.PendingRunStart()), content, contentStart);
  const std::int64_t from = std::max(fed_, contentStart) - contentStart;
  held_.insert(held_.end(), content.begin() + from, content.end());
}

// Gives the block compressor the content from fed_ up to `end`: first the
// bytes held back, then those of `content`, which starts at `contentStart`.
void ParallelCompressor::Feed(std::int64_t end, std::span<const std::uint8_t> content, std::int64_t contentStart) {
  if (end <= fed_) return;
  if (!block_) block_ = std::make_unique<bzip2::BlockCompressor>(blockSize100k_);
  if (fed_ < contentStart) {
    const auto take = static_cast<std::size_t>(std::min(end, contentStart) - fed_);
    block_->Add({held_.data(), take});
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(take));
    fed_ += static_cast<std::int64_t>(take);
  }
  if (end > fed_) {
    block_->Add(content.subspan(static_cast<std::size_t>(fed_ - contentStart), static_cast<std::size_t>(end - fed_)));
    fed_ = end;
  }
}

void ParallelCompressor::SubmitBlock() {
  std::shared_ptr<bzip2::BlockCompressor> compressor = std::move(block_);
  auto block = std::make_shared<bzip2::CompressedBlock>();
  auto job = work_.Push([compressor, block] { *block = compressor->Finish(); });
  steps_.push_back({std::move(job), std::move(block)});
  Collect(inFlight_);
}

void ParallelCompressor::EndStream() {
  const std::int64_t end = fed_ + static_cast<std::int64_t>(held_.size());
  Feed(end, {}, end);
  if (block_) SubmitBlock();
  steps_.push_back({});
  tracker_ = CompressorBlockTracker(blockSize100k_);
  fed_ = 0;
  Collect(inFlight_);
}

void ParallelCompressor::Flush() { Collect(0); }

// Joins the finished steps at the front, and waits for more while over `keep`.
void ParallelCompressor::Collect(std::size_t keep) {
  while (!steps_.empty()) {
    const Step& front = steps_.front();
    if (front.Job) {
      if (steps_.size() <= keep && !work_.IsDone(*front.Job)) return;
      work_.Wait(*front.Job);
    }
    Join(front);
    steps_.pop_front();
  }
}

void ParallelCompressor::Join(const Step& step) {
  if (step.Job) {
    joined_.Add(*step.Block);
  } else {
    joined_.End();
  }
  const std::vector<std::uint8_t> whole = joined_.TakeWholeBytes();
  if (!whole.empty() || !step.Job) output_(whole, !step.Job);
}

}  // namespace bzip2arc
