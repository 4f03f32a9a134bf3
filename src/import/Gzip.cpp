#include "Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

namespace kelvara::import {
namespace {

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

std::string ZlibReason(const z_stream& zs, int code) {
  if (zs.msg != nullptr) return zs.msg;
  if (code == Z_MEM_ERROR) return "out of memory";
  return "zlib error " + std::to_string(code);
}

std::uint32_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

std::uint32_t Le32(std::string_view b, std::size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}

// Owns a z_stream between init and end, whatever way the caller leaves.
class Inflater {
 public:
  explicit Inflater(int windowBits) { ok_ = inflateInit2(&zs_, windowBits) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&zs_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream& zs() { return zs_; }

 private:
  z_stream zs_{};
  bool ok_ = false;
};

}  // namespace

bool LooksGzipped(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
         static_cast<unsigned char>(bytes[1]) == 0x8B;
}

bool GunzipWhole(std::string_view compressed, std::string& out, std::string& error) {
  return GunzipWhole(compressed, out, error, kNoLimit);
}

bool GunzipWhole(std::string_view compressed, std::string& out, std::string& error,
                 std::uint64_t limit) {
  out.clear();
  if (!LooksGzipped(compressed)) {
    error = "not gzip data (it does not begin with the bytes 1F 8B)";
    return false;
  }
  Inflater inflater(16 + MAX_WBITS);  // gzip wrapper, header and trailer checked by zlib
  if (!inflater.ok()) {
    error = "cannot start zlib";
    return false;
  }
  z_stream& zs = inflater.zs();
  std::size_t pos = 0;  // start of the member being unpacked
  std::size_t member = 0;
  while (pos < compressed.size()) {
    const std::string_view rest = compressed.substr(pos);
    if (member > 0) {
      if (rest.find_first_not_of('\0') == std::string_view::npos) break;  // padding
      if (!LooksGzipped(rest)) {
        error = "the bytes after the gzip data, at offset " + std::to_string(pos) +
                ", are not gzip data";
        return false;
      }
      inflateReset(&zs);
    }
    std::size_t consumed = 0;
    int code = Z_OK;
    while (code != Z_STREAM_END) {
      // zlib counts in 32-bit units: big inputs and outputs go through in slices.
      const std::size_t inSlice = std::min<std::size_t>(rest.size() - consumed, 1u << 30);
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(rest.data() + consumed));
      zs.avail_in = static_cast<uInt>(inSlice);
      if (out.size() >= limit) {
        error = "the data unpacks to more than " + std::to_string(limit) + " bytes";
        return false;
      }
      const std::size_t have = out.size();
      const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(
          {std::max<std::size_t>(have, 1u << 16), 1u << 30, limit - have}));
      out.resize(have + room);
      zs.next_out = reinterpret_cast<Bytef*>(out.data() + have);
      zs.avail_out = static_cast<uInt>(room);
      code = inflate(&zs, Z_NO_FLUSH);
      out.resize(have + (room - zs.avail_out));
      consumed += inSlice - zs.avail_in;
      if (code == Z_STREAM_END) break;
      if (code == Z_BUF_ERROR || (code == Z_OK && consumed == rest.size() && zs.avail_out != 0)) {
        if (consumed == rest.size()) {
          error = "the gzip data is truncated (it ends inside member " +
                  std::to_string(member + 1) + ")";
          return false;
        }
        continue;  // room ran out exactly: go on with more
      }
      if (code != Z_OK) {
        error = "the gzip data is damaged near offset " + std::to_string(pos + consumed) + ": " +
                ZlibReason(zs, code);
        return false;
      }
    }
    pos += consumed;
    ++member;
  }
  return true;
}

bool MemorySource::ReadAt(std::uint64_t offset, std::size_t length, std::string& out,
                          std::string& error) {
  if (offset > bytes_.size() || length > bytes_.size() - offset) {
    error = "reading " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
            " passes the end of the data (" + std::to_string(bytes_.size()) + " bytes)";
    return false;
  }
  out.assign(bytes_.substr(static_cast<std::size_t>(offset), length));
  return true;
}

bool FileSource::Open(const std::filesystem::path& file, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) {
    error = "cannot read it: " + ec.message();
    return false;
  }
  in_.open(file, std::ios::binary);
  if (!in_) {
    error = "cannot open it";
    return false;
  }
  size_ = size;
  return true;
}

bool FileSource::ReadAt(std::uint64_t offset, std::size_t length, std::string& out,
                        std::string& error) {
  if (offset > size_ || length > size_ - offset) {
    error = "reading " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
            " passes the end of the file (" + std::to_string(size_) + " bytes)";
    return false;
  }
  out.resize(length);
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset));
  in_.read(out.data(), static_cast<std::streamsize>(length));
  if (static_cast<std::size_t>(in_.gcount()) != length) {
    error = "the file ended while reading " + std::to_string(length) + " bytes at offset " +
            std::to_string(offset);
    return false;
  }
  return true;
}

// Chunks unpacked ahead and waiting to be read: enough to ride over an uneven pace, few enough
// that memory stays small (dictzip chunks hold at most 64 KB).
constexpr std::size_t kChunksAhead = 16;

struct DictzipReader::Ahead {
  struct Chunk {
    std::size_t index;
    std::string text;
    std::string error;  // the chunk is damaged: the reason, as a read would give it
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Chunk> ready;         // in chunk order
  std::vector<std::string> spare;  // buffers to reuse
  std::size_t next = 0;            // the next chunk the thread unpacks
  std::size_t from = 0;            // the first chunk not yet taken from `ready` (or to come)
  bool stop = false;
  std::mutex source;  // the thread and the reader both read packed bytes
  std::thread thread;
};

DictzipReader::DictzipReader() = default;

DictzipReader::~DictzipReader() { StopReadingAhead(); }

void DictzipReader::StopReadingAhead() {
  if (!ahead_) return;
  {
    std::lock_guard lock(ahead_->mutex);
    ahead_->stop = true;
  }
  ahead_->changed.notify_all();
  if (ahead_->thread.joinable()) ahead_->thread.join();
  ahead_.reset();
}

void DictzipReader::ReadAhead() {
  if (ahead_ || chunkStart_.size() < 2) return;
  ahead_ = std::make_unique<Ahead>();
  Ahead& a = *ahead_;
  const std::size_t count = chunkStart_.size() - 1;
  try {
    a.thread = std::thread([this, &a, count] {
      std::string packed;
      std::unique_lock lock(a.mutex);
      while (a.next < count) {
        a.changed.wait(lock, [&] { return a.stop || a.ready.size() < kChunksAhead; });
        if (a.stop) return;
        const std::size_t index = a.next++;
        std::string text;
        if (!a.spare.empty()) {
          text = std::move(a.spare.back());
          a.spare.pop_back();
        }
        lock.unlock();
        std::string error;
        Unpack(index, packed, text, error);
        lock.lock();
        a.ready.push_back({index, std::move(text), std::move(error)});
        a.changed.notify_all();
      }
    });
  } catch (const std::system_error&) {
    ahead_.reset();  // no thread to be had: every chunk is unpacked when it is read
  }
}

bool DictzipReader::Open(std::unique_ptr<ByteSource> source, std::string& error) {
  StopReadingAhead();
  source_ = std::move(source);
  chunkStart_.clear();
  cachedIndex_ = SIZE_MAX;
  const std::uint64_t fileSize = source_->size();
  // The header: 10 fixed bytes, the extra field (at most 2 + 65535), then optional names.
  std::string head;
  const std::size_t headSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, 80000));
  if (!source_->ReadAt(0, headSize, head, error)) return false;
  if (!LooksGzipped(head)) {
    error = "not dictzip data (it does not begin with the gzip bytes 1F 8B)";
    return false;
  }
  if (head.size() < 10) {
    error = "the gzip header is truncated";
    return false;
  }
  const auto flags = static_cast<unsigned char>(head[3]);
  if (static_cast<unsigned char>(head[2]) != 8) {
    error = "the gzip header names an unknown compression method";
    return false;
  }
  if ((flags & 0xE0) != 0) {
    error = "the gzip header has reserved flags set";
    return false;
  }
  if ((flags & 0x04) == 0) {
    error = "not dictzip data: the gzip header has no extra field, so no chunk table "
            "(an ordinary .gz file, which cannot be read by random access)";
    return false;
  }
  if (head.size() < 12) {
    error = "the gzip header is truncated";
    return false;
  }
  const std::size_t extraLength = Le16(head, 10);
  if (head.size() < 12 + extraLength) {
    error = "the gzip header's extra field runs past the end of the file";
    return false;
  }
  const std::string_view extra = std::string_view(head).substr(12, extraLength);
  std::size_t at = 0;
  bool found = false;
  std::uint32_t count = 0;
  std::vector<std::uint32_t> packedSizes;
  while (at + 4 <= extra.size()) {
    const std::size_t fieldLength = Le16(extra, at + 2);
    if (at + 4 + fieldLength > extra.size()) {
      error = "broken chunk table: a subfield of the gzip extra field runs past its end";
      return false;
    }
    if (extra[at] == 'R' && extra[at + 1] == 'A') {
      const std::string_view ra = extra.substr(at + 4, fieldLength);
      if (ra.size() < 6) {
        error = "broken chunk table: its header is truncated";
        return false;
      }
      if (Le16(ra, 0) != 1) {
        error = "broken chunk table: unknown version " + std::to_string(Le16(ra, 0));
        return false;
      }
      chunkLength_ = Le16(ra, 2);
      count = Le16(ra, 4);
      if (chunkLength_ == 0) {
        error = "broken chunk table: the chunk length is 0";
        return false;
      }
      if (ra.size() < 6 + 2 * std::size_t{count}) {
        error = "broken chunk table: it lists " + std::to_string(count) +
                " chunks but holds room for only " + std::to_string((ra.size() - 6) / 2);
        return false;
      }
      for (std::uint32_t i = 0; i < count; ++i) packedSizes.push_back(Le16(ra, 6 + 2 * i));
      found = true;
      break;
    }
    at += 4 + fieldLength;
  }
  if (!found) {
    error = "not dictzip data: the gzip extra field has no chunk table (RA)";
    return false;
  }
  std::size_t dataStart = 12 + extraLength;
  for (const int flag : {0x08, 0x10}) {  // file name, comment: zero-terminated
    if ((flags & flag) == 0) continue;
    const std::size_t end = head.find('\0', dataStart);
    if (end == std::string::npos) {
      error = "the gzip header's file name or comment is not terminated";
      return false;
    }
    dataStart = end + 1;
  }
  if ((flags & 0x02) != 0) dataStart += 2;  // header CRC
  if (count == 0) {
    error = "broken chunk table: it lists no chunks";
    return false;
  }
  std::uint64_t position = dataStart;
  chunkStart_.reserve(count + 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (packedSizes[i] == 0) {
      error = "broken chunk table: chunk " + std::to_string(i + 1) + " has a packed size of 0";
      return false;
    }
    chunkStart_.push_back(position);
    position += packedSizes[i];
  }
  chunkStart_.push_back(position);
  // dictzip ends the deflate stream after the last listed chunk (an empty final block of a
  // few bytes that the table does not count), so the table may end a little before the trailer.
  if (position + 8 > fileSize) {
    error = "broken chunk table: its " + std::to_string(count) + " chunks end at byte " +
            std::to_string(position) + ", so the file should hold " +
            std::to_string(position + 8) + " bytes or more, but it holds " +
            std::to_string(fileSize) + " (truncated?)";
    return false;
  }
  // The size unpacked: whole chunks before the last, and the last one's own length.
  if (!LoadChunk(count - 1, error)) return false;
  size_ = std::uint64_t{count - 1} * chunkLength_ + cached_.size();
  std::string trailer;
  if (!source_->ReadAt(fileSize - 8, 8, trailer, error)) return false;
  if (Le32(trailer, 4) != static_cast<std::uint32_t>(size_)) {
    error = "broken chunk table: the chunks unpack to " + std::to_string(size_) +
            " bytes, but the gzip trailer says " + std::to_string(Le32(trailer, 4)) +
            " (modulo 2^32)";
    return false;
  }
  return true;
}

bool DictzipReader::LoadChunk(std::size_t index, std::string& error) {
  if (index == cachedIndex_) return true;
  cachedIndex_ = SIZE_MAX;
  if (ahead_ && index >= ahead_->from) {
    // Still to come from the thread: take what it unpacked up to this one.
    Ahead& a = *ahead_;
    std::unique_lock lock(a.mutex);
    for (;;) {
      a.changed.wait(lock, [&] { return !a.ready.empty(); });
      Ahead::Chunk chunk = std::move(a.ready.front());
      a.ready.pop_front();
      a.from = chunk.index + 1;
      a.changed.notify_all();
      if (chunk.index < index) {
        a.spare.push_back(std::move(chunk.text));
        continue;
      }
      a.spare.push_back(std::move(cached_));
      cached_ = std::move(chunk.text);
      if (!chunk.error.empty()) {
        error = std::move(chunk.error);
        return false;
      }
      cachedIndex_ = index;
      return true;
    }
  }
  if (!Unpack(index, packed_, cached_, error)) return false;
  cachedIndex_ = index;
  return true;
}

bool DictzipReader::Unpack(std::size_t index, std::string& packed, std::string& out, std::string& error) {
  const std::uint64_t start = chunkStart_[index];
  const auto packedLength = static_cast<std::size_t>(chunkStart_[index + 1] - start);
  {
    std::unique_lock<std::mutex> lock;
    if (ahead_) lock = std::unique_lock(ahead_->source);
    if (!source_->ReadAt(start, packedLength, packed, error)) return false;
  }
  Inflater inflater(-MAX_WBITS);  // raw deflate: each chunk starts after a full flush
  if (!inflater.ok()) {
    error = "cannot start zlib";
    return false;
  }
  z_stream& zs = inflater.zs();
  out.resize(chunkLength_);
  zs.next_in = reinterpret_cast<Bytef*>(packed.data());
  zs.avail_in = static_cast<uInt>(packed.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = chunkLength_;
  const int code = inflate(&zs, Z_SYNC_FLUSH);
  const bool last = index + 1 == chunkStart_.size() - 1;
  out.resize(chunkLength_ - zs.avail_out);
  const std::string where = "chunk " + std::to_string(index + 1) + " (packed at offset " +
                            std::to_string(start) + ")";
  if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) {
    error = where + " is damaged: " + ZlibReason(zs, code);
    return false;
  }
  if (zs.avail_in != 0) {
    error = where + " unpacks to more than the chunk length of " + std::to_string(chunkLength_) +
            " bytes";
    return false;
  }
  if (out.empty() || (!last && out.size() != chunkLength_)) {
    error = where + " unpacks to " + std::to_string(out.size()) + " bytes, not " +
            std::to_string(chunkLength_);
    return false;
  }
  return true;
}

bool DictzipReader::Read(std::uint64_t offset, std::uint64_t length, std::string& out,
                         std::string& error) {
  out.clear();
  if (offset > size_ || length > size_ - offset) {
    error = "the range of " + std::to_string(length) + " bytes at offset " +
            std::to_string(offset) + " passes the end of the unpacked data (" +
            std::to_string(size_) + " bytes)";
    return false;
  }
  // A lying table can claim gigabytes; memory grows with what really unpacks.
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(length, 1 << 20)));
  std::uint64_t at = offset;
  const std::uint64_t end = offset + length;
  while (at < end) {
    const auto index = static_cast<std::size_t>(at / chunkLength_);
    if (!LoadChunk(index, error)) return false;
    const std::uint64_t chunkBegin = std::uint64_t{index} * chunkLength_;
    const auto from = static_cast<std::size_t>(at - chunkBegin);
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(end - at, cached_.size() - from));
    if (take == 0) {  // a short chunk before the last one: cannot happen after LoadChunk's check
      error = "chunk " + std::to_string(index + 1) + " is shorter than the chunk length";
      return false;
    }
    out.append(cached_, from, take);
    at += take;
  }
  return true;
}

}  // namespace kelvara::import
