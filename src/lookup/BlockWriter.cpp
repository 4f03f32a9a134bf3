#include "BlockWriter.h"

#include <system_error>

#include "Format.h"

namespace kelvara {
namespace {

// Batches waiting for the thread: enough that a slow write does not stall the caller at once,
// few enough that memory does not grow with the file (a batch is about a megabyte).
constexpr std::size_t kMaxWaiting = 3;

}  // namespace

BlockWriter::BlockWriter(ReplacementFile& file, const crypto::Key& key, std::span<const std::uint8_t> header,
                         bool background, WriteFault fault)
    : file_(file), sealer_(key), header_(header.begin(), header.end()), fault_(std::move(fault)) {
  if (!background) return;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: the batches are sealed and written within Submit instead.
  }
}

BlockWriter::~BlockWriter() { Stop(); }

SealBatch BlockWriter::Take() {
  std::lock_guard lock(mutex_);
  if (spare_.empty()) return {};
  SealBatch batch = std::move(spare_.back());
  spare_.pop_back();
  return batch;
}

std::string BlockWriter::Submit(SealBatch batch) {
  if (!thread_.joinable()) {
    if (failure_.empty()) failure_ = Write(batch);
    batch.bytes.clear();
    batch.parts.clear();
    spare_.push_back(std::move(batch));
    return failure_;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return waiting_.size() < kMaxWaiting || !failure_.empty() || stop_; });
  if (!failure_.empty() || stop_) return failure_.empty() ? "the writer was stopped" : failure_;
  waiting_.push_back(std::move(batch));
  changed_.notify_all();
  return {};
}

std::string BlockWriter::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return (waiting_.empty() && !busy_) || !failure_.empty() || stop_; });
  return failure_;
}

void BlockWriter::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    waiting_.clear();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::string BlockWriter::Write(SealBatch& batch) {
  using namespace format;
  const std::span<std::uint8_t> bytes(batch.bytes);
  const std::span<const std::uint8_t> fileNonce = std::span(header_).subspan(kOffNonce, crypto::kNonceSize);
  for (const SealBatch::Part& part : batch.parts) {
    const std::span<std::uint8_t> plain = bytes.subspan(part.offset, part.plainSize);
    if (!sealer_.Seal(BlockNonce(fileNonce, part.number), header_, plain, plain,
                      bytes.subspan(part.offset + part.plainSize).first<kTagSize>())) {
      return "the system's cryptography failed";
    }
  }
  if (fault_) {
    if (std::string failed = fault_(batch.at, bytes.size()); !failed.empty()) return failed;
  }
  return file_.WriteAt(batch.at, bytes);
}

void BlockWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return !waiting_.empty() || stop_; });
    if (stop_) return;
    SealBatch batch = std::move(waiting_.front());
    waiting_.pop_front();
    busy_ = true;
    lock.unlock();
    std::string failed = Write(batch);
    batch.bytes.clear();
    batch.parts.clear();
    lock.lock();
    busy_ = false;
    spare_.push_back(std::move(batch));
    if (!failed.empty() && failure_.empty()) {
      failure_ = std::move(failed);
      waiting_.clear();  // nothing after a failure is written
    }
    changed_.notify_all();
  }
}

}  // namespace kelvara
