// The sealing and writing end of the streaming dictionary writer: parts of a version 2 file
// handed over a batch at a time, sealed in place and written. On a second thread, so that the
// caller fills the next batch meanwhile (a two-core machine then imports in less wall time).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "Crypto.h"
#include "DictionaryWriter.h"
#include "FileAccess.h"

namespace kelvara {

// Parts that lie back to back in the file from `at`: each is its plain text followed by room for
// its tag, and is sealed where it lies, so the batch's bytes are what the file holds there.
struct SealBatch {
  struct Part {
    std::uint64_t number;   // the part's place in the file (0 the directory), its nonce's counter
    std::size_t offset;     // where it begins in `bytes`
    std::size_t plainSize;  // its tag follows
  };
  std::uint64_t at = 0;
  std::vector<std::uint8_t> bytes;
  std::vector<Part> parts;
};

using WriteFault = decltype(WriteOptions::writeFault);

class BlockWriter {
 public:
  // `header`: the file's header, every part's additional data and the source of its nonce.
  // `background`: seal and write on a thread of its own; otherwise within Submit.
  BlockWriter(ReplacementFile& file, const crypto::Key& key, std::span<const std::uint8_t> header,
              bool background, WriteFault fault = {});
  // Stops, dropping what was not written yet.
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  // An empty batch to fill, its memory reused from one already written.
  SealBatch Take();
  // Hands a filled batch over; waits while a few are waiting already, so memory stays bounded.
  // Returns "" or the first failure of any batch so far (after one, nothing more is written).
  std::string Submit(SealBatch batch);
  // Waits until every batch handed over is written: "" or the first failure.
  std::string Wait();
  // Ends the thread; batches not yet written are dropped. The file is the caller's again.
  void Stop();

 private:
  std::string Write(SealBatch& batch);
  void Run();

  ReplacementFile& file_;
  crypto::GcmSealer sealer_;
  std::vector<std::uint8_t> header_;
  WriteFault fault_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<SealBatch> waiting_;
  std::vector<SealBatch> spare_;
  bool busy_ = false;  // the thread holds a batch
  bool stop_ = false;
  std::string failure_;
  std::thread thread_;
};

}  // namespace kelvara
