// Where the time of opening Data.db goes on this platform: the whole Dictionary::Open, and each
// of its steps alone (reading the file, deriving the key, decrypting the table, decoding it; the
// rest is checking the headwords and building the index), repeated and summarised in one run.
// Each step is also given as a share of the whole.
//
//   kelvara-open-bench DATA_DB [--runs N]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "ProcessCpu.h"
#include "lookup/Crypto.h"
#include "lookup/Dictionary.h"
#include "lookup/FileAccess.h"
#include "lookup/Format.h"

namespace {

using namespace kelvara;
using namespace kelvara::bench;

struct Step {
  const char* name;
  std::vector<double> ms;
  double cpuMs = 0;  // this process's CPU time, summed over the runs
};


// Times one step: wall clock per run, CPU summed.
class Timing {
 public:
  explicit Timing(Step& step) : step_(step), cpu_(ProcessCpuMs()), start_(Clock::now()) {}
  ~Timing() {
    step_.ms.push_back(MillisSince(start_));
    step_.cpuMs += ProcessCpuMs() - cpu_;
  }

 private:
  Step& step_;
  double cpu_;
  Clock::time_point start_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int runs = 15;
  std::filesystem::path file;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--runs") == 0 && i + 1 < argc) {
      runs = _wtoi(argv[++i]);
    } else {
      file = argv[i];
    }
  }
  if (file.empty() || runs <= 0) {
    std::fprintf(stderr, "usage: kelvara-open-bench DATA_DB [--runs N]\n");
    return 2;
  }
  const OpenResult first = Dictionary::Open(file);
  if (!first.dict) {
    std::fprintf(stderr, "kelvara-open-bench: %s\n", first.message.c_str());
    return 1;
  }
  const std::size_t rows = first.dict->size();

  Step whole{"Dictionary::Open, whole", {}}, read{"read the file", {}}, key{"derive the key", {}},
      decrypt{"decrypt the table", {}}, decode{"decode the table", {}},
      touch{"baseline: touch file-sized new memory", {}};
  std::vector<double> rest;
  double restCpu = 0;
  std::size_t payloadBytes = 0;
  for (int run = 0; run < runs; ++run) {
    {
      OpenResult opened;
      {
        const Timing t(whole);
        opened = Dictionary::Open(file);
      }
      if (!opened.dict) return 1;
    }

    {
      // What the machine charges for memory used the first time, as much as the file takes.
      const std::size_t size = std::filesystem::file_size(file);
      const Timing t(touch);
      auto fresh = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      volatile std::uint8_t* pages = fresh.get();
      for (std::size_t i = 0; i < size; i += 4096) pages[i] = 1;
    }

    ReadFileResult bytes;
    {
      const Timing t(read);
      bytes = ReadAndHoldFile(file);
    }
    if (bytes.error != DictError::None || bytes.size < format::kHeaderSize + format::kTagSize) return 1;
    const std::span<std::uint8_t> all(bytes.bytes.get(), bytes.size);
    bytes.lock.reset();

    crypto::Key fileKey;
    format::KeyCheck check;
    bool derived;
    {
      const Timing t(key);
      derived = format::DeriveFileKey(kDictionaryPassword, all.subspan(format::kOffSalt, format::kSaltSize),
                                      format::LoadU32(all.data() + format::kOffIterations), fileKey, check);
    }
    if (!derived) return 1;

    payloadBytes = static_cast<std::size_t>(format::LoadU64(all.data() + format::kOffPayloadSize));
    const std::span<std::uint8_t> payload = all.subspan(format::kHeaderSize, payloadBytes);
    crypto::OpenStatus status;
    {
      const Timing t(decrypt);
      status = crypto::AesGcmOpen(
          fileKey, all.subspan(format::kOffNonce, crypto::kNonceSize), all.first(format::kHeaderSize), payload,
          all.subspan(format::kHeaderSize + payloadBytes).first<format::kTagSize>(), payload);
    }
    if (status != crypto::OpenStatus::Ok) return 1;

    format::Payload table;
    std::string problem;
    {
      const Timing t(decode);
      problem = format::DecodePayload(payload, table);
    }
    if (!problem.empty()) return 1;
    rest.push_back(whole.ms.back() - read.ms.back() - key.ms.back() - decrypt.ms.back() - decode.ms.back());
    restCpu = whole.cpuMs - read.cpuMs - key.cpuMs - decrypt.cpuMs - decode.cpuMs;
  }

  const Summary w = Summarize(whole.ms);
  const double n = static_cast<double>(runs);
  std::printf("kelvara-open-bench: %zu rows, table %.1f MB\n\n%-38s %4s | %9s %9s %6s | %9s %6s\n", rows,
              static_cast<double>(payloadBytes) / 1e6, "opening Data.db (ms)", "n", "wall med", "p99",
              "share", "cpu mean", "share");
  auto row = [&](const char* name, const Summary& m, double cpuSum) {
    std::printf("%-38s %4zu | %9.2f %9.2f %5.0f%% | %9.2f %5.0f%%\n", name, m.count, m.median, m.p99,
                100 * Ratio(m.median, w.median), cpuSum / n, 100 * Ratio(cpuSum, whole.cpuMs));
  };
  for (const Step* s : {&whole, &read, &key, &decrypt, &decode}) row(s->name, Summarize(s->ms), s->cpuMs);
  row("the rest: headword checks and index", Summarize(rest), restCpu);
  row(touch.name, Summarize(touch.ms), touch.cpuMs);
  const Summary d = Summarize(decrypt.ms);
  std::printf("\ndecryption: %.0f MB/s; opening takes %.1fx the wall time of reading the file, and %.1fx\n"
              "the CPU time of touching as much new memory as the file holds\n",
              d.median > 0 ? static_cast<double>(payloadBytes) / 1e3 / d.median : 0,
              Ratio(w.median, Summarize(read.ms).median), Ratio(whole.cpuMs, touch.cpuMs));
  return 0;
}
