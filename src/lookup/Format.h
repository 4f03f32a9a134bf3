// Byte layout of Data.db (documented in docs/dictionary-format.md): little-endian helpers,
// header fields and the decoder of the decrypted table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Crypto.h"

namespace kelvara::format {

inline constexpr std::array<std::uint8_t, 8> kMagic = {'K', 'E', 'L', 'V', 'D', 'B', '\r', '\n'};
// Version 1 holds the whole table in one sealed payload; version 2 seals a directory and blocks
// that are read as they are needed. New files are written in version 2.
inline constexpr std::uint16_t kVersion1 = 1;
inline constexpr std::uint16_t kVersion2 = 2;
inline constexpr std::uint16_t kVersion = kVersion2;

// Header field offsets (both versions share the 80-byte header; bytes 64 to 75 differ).
inline constexpr std::size_t kOffVersion = 8;        // u16
inline constexpr std::size_t kOffHeaderSize = 10;    // u16
inline constexpr std::size_t kOffFlags = 12;         // u32, zero
inline constexpr std::size_t kOffIterations = 16;    // u32
inline constexpr std::size_t kOffSalt = 20;          // 16 bytes
inline constexpr std::size_t kOffNonce = 36;         // 12 bytes
inline constexpr std::size_t kOffKeyCheck = 48;      // 16 bytes
inline constexpr std::size_t kOffPayloadSize = 64;   // u64 (version 1)
inline constexpr std::size_t kOffReserved = 72;      // u32, zero (version 1)
inline constexpr std::size_t kOffFileSize = 64;      // u64 (version 2): the whole file's size
inline constexpr std::size_t kOffDirectorySize = 72; // u32 (version 2): the directory's size
inline constexpr std::size_t kOffHeaderCrc = 76;     // u32, CRC-32 of bytes 0..75
inline constexpr std::size_t kHeaderSize = 80;
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kKeyCheckSize = 16;
inline constexpr std::size_t kTagSize = 16;

// The key derivation's cost, bounded on reading so that a forged header cannot stall opening.
inline constexpr std::uint32_t kMinIterations = 1000;
inline constexpr std::uint32_t kMaxIterations = 1000000;

inline constexpr std::uint32_t kMaxColumns = 1024;
inline constexpr std::string_view kTableName = "Words";
inline constexpr std::string_view kHeadwordColumn = "English";
inline constexpr std::string_view kMeaningColumn = "Meaning";
inline constexpr std::string_view kKeyCheckLabel = "Kelvara Dictionary key check";

// Version 2's blocks. Headword blocks hold a fixed number of index positions each, so that a
// position finds its block by a division. Meaning blocks close once they pass a target size:
// small, since showing a meaning decrypts and authenticates its whole block, but not so small
// that there are more than about kMeaningBlockBound of them, since the directory (read at every
// start and kept) holds an entry for each.
inline constexpr std::uint32_t kHeadwordsPerBlock = 2048;
inline constexpr std::uint32_t kMaxHeadwordsPerBlock = 1u << 20;
inline constexpr std::size_t kMinMeaningBlockTarget = 256;
inline constexpr std::uint64_t kMeaningBlockBound = 65536;
// The target for meaning blocks that hold `meaningBytes` in all (their cells and cell ends):
// 256 bytes up to 16 MB of meanings, then larger (a 200 MB table: about 3 KB).
inline std::size_t MeaningBlockTarget(std::uint64_t meaningBytes) {
  const std::uint64_t even = (meaningBytes + kMeaningBlockBound - 1) / kMeaningBlockBound;
  return static_cast<std::size_t>(even > kMinMeaningBlockTarget ? even : kMinMeaningBlockTarget);
}
inline constexpr std::size_t kHeadwordBlockEntry = 12;  // directory: u64 head, u32 sealed size
inline constexpr std::size_t kMeaningBlockEntry = 8;    // directory: u32 first row, u32 sealed size

inline std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadU64(const std::uint8_t* p) {
  return LoadU32(p) | (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}
inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreU64(std::uint8_t* p, std::uint64_t v) {
  StoreU32(p, static_cast<std::uint32_t>(v));
  StoreU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  StoreU32(out.data() + at, v);
}

// CRC-32 (the zlib polynomial), guarding the header against damage before any key is derived.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// The file key from the password, and the check value stored in the header that tells a wrong
// password from a damaged file: the first 16 bytes of SHA-256(kKeyCheckLabel || key).
using KeyCheck = std::array<std::uint8_t, kKeyCheckSize>;
bool DeriveFileKey(std::string_view password, std::span<const std::uint8_t> salt,
                   std::uint32_t iterations, crypto::Key& key, KeyCheck& check);

// Block n's nonce (the directory is block 0, then the headword blocks, then the meaning blocks):
// the file's random nonce with its last eight bytes XORed with n, little-endian. Every block of
// a file thus has its own nonce, and a block moved to another place fails its tag.
std::array<std::uint8_t, crypto::kNonceSize> BlockNonce(std::span<const std::uint8_t> fileNonce,
                                                        std::uint64_t block);

// The first eight bytes of the case-folded text, big-endian, zero-padded: what the search
// compares before it reads any text. Folded as read: only those eight bytes are made.
std::uint64_t FoldedHead(std::string_view text);

// n little-endian u32 values read where they lie (at any alignment), so that opening makes no
// copy of the tables in the file.
class U32View {
 public:
  U32View() = default;
  U32View(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
  std::size_t size() const { return n_; }
  std::uint32_t operator[](std::size_t i) const { return LoadU32(p_ + 4 * i); }

 private:
  const std::uint8_t* p_ = nullptr;
  std::size_t n_ = 0;
};

// Reads from [p, limit); every call fails, without reading, past the limit.
class Decoder {
 public:
  Decoder(const std::uint8_t* p, const std::uint8_t* limit) : p_(p), limit_(limit) {}
  std::size_t remaining() const { return static_cast<std::size_t>(limit_ - p_); }
  const std::uint8_t* position() const { return p_; }
  bool U32(std::uint32_t& v) {
    if (remaining() < 4) return false;
    v = LoadU32(p_);
    p_ += 4;
    return true;
  }
  bool Bytes(std::size_t n, const std::uint8_t*& at) {
    if (remaining() < n) return false;
    at = p_;
    p_ += n;
    return true;
  }
  bool String(std::string& s) {
    std::uint32_t n;
    const std::uint8_t* at;
    if (!U32(n) || !Bytes(n, at)) return false;
    s.assign(reinterpret_cast<const char*>(at), n);
    return true;
  }
  // n little-endian u32 values, viewed where they lie.
  bool U32Array(std::size_t n, U32View& out) {
    if (n > remaining() / 4) return false;
    out = U32View(p_, n);
    p_ += 4 * n;
    return true;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* limit_;
};

// The decrypted table, before its index is checked. The views point into the decoded bytes.
struct Payload {
  std::string tableName;
  std::vector<std::string> columnNames;
  std::uint32_t rowCount = 0;
  U32View cellEnds;                     // column by column, each row's end in the text
  std::size_t textOffset = 0;           // where the text starts within the payload bytes
  std::size_t textSize = 0;
  U32View sorted;                       // row numbers in index order
};

// Decodes and checks the layout of a payload (sizes, bounds, monotonic cell ends, the index a
// permutation). Returns "" or what is wrong, in English.
std::string DecodePayload(std::span<const std::uint8_t> bytes, Payload& out);

// Version 2's decrypted directory: the table's shape and where each block lies.
struct Directory {
  std::string tableName;
  std::vector<std::string> columnNames;
  std::uint32_t rowCount = 0;
  std::uint32_t headwordsPerBlock = 0;
  std::vector<std::uint64_t> headwordHeads;     // FoldedHead of each headword block's first entry
  std::vector<std::uint32_t> meaningFirstRows;  // first row of each meaning block
  std::vector<std::uint64_t> blockOffsets;      // per block (headword blocks, then meaning ones),
  std::vector<std::uint32_t> blockSizes;        // sealed: ciphertext and tag
};

// Decodes a directory and checks it against the file: block counts that fit the rows, first
// rows in order, heads in order, and blocks that fill the file from `firstBlockAt` exactly to
// `fileSize`. Returns "" or what is wrong, in English.
std::string DecodeDirectory(std::span<const std::uint8_t> bytes, std::uint64_t firstBlockAt,
                            std::uint64_t fileSize, Directory& out);

}  // namespace kelvara::format
