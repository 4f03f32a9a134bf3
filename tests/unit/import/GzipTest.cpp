#include <gtest/gtest.h>

#include <random>

#include "Samples.h"
#include "import/Gzip.h"

namespace kelvara::import {
namespace {

std::string Text(std::size_t size) {
  std::string text;
  std::mt19937 rng(7);
  const std::string_view words[] = {"cat ", "dog ", "\xD8\xB3\xDA\xAF ", "bird\n", "tree "};
  while (text.size() < size) text += words[rng() % 5];
  text.resize(size);
  return text;
}

TEST(Gunzip, UnpacksOneMemberOrSeveralJoined) {
  const std::string a = Text(70000), b = "second member";
  std::string out, error;
  ASSERT_TRUE(GunzipWhole(samples::Gzip(a), out, error)) << error;
  EXPECT_EQ(out, a);
  ASSERT_TRUE(GunzipWhole(samples::Gzip(a) + samples::Gzip(b) + std::string(9, '\0'), out, error)) << error;
  EXPECT_EQ(out, a + b);
}

TEST(Gunzip, RefusesWhatIsNotWholeGzip) {
  const std::string packed = samples::Gzip(Text(5000));
  std::string out, error;
  EXPECT_FALSE(GunzipWhole("plain text", out, error));
  EXPECT_NE(error.find("not gzip"), std::string::npos) << error;
  EXPECT_FALSE(GunzipWhole(packed + "junk", out, error));
  EXPECT_NE(error.find("offset " + std::to_string(packed.size())), std::string::npos) << error;
  // Cut anywhere, the data is refused with a reason, never taken as whole.
  for (std::size_t cut = 0; cut < packed.size(); ++cut) {
    error.clear();
    EXPECT_FALSE(GunzipWhole(std::string_view(packed).substr(0, cut), out, error)) << cut;
    EXPECT_FALSE(error.empty()) << cut;
  }
  std::string flipped = packed;
  flipped[flipped.size() - 6] ^= 0x40;  // the trailer's CRC
  EXPECT_FALSE(GunzipWhole(flipped, out, error));
  EXPECT_FALSE(GunzipWhole(samples::Gzip(std::string(100000, 'a')), out, error, 5000));
  EXPECT_NE(error.find("more than 5000"), std::string::npos) << error;
}

TEST(Dictzip, ReadsAnyRangeAcrossChunks) {
  const std::string text = Text(10000);
  const std::string packed = samples::Dictzip(text, 512);
  DictzipReader reader;
  std::string error, out;
  ASSERT_TRUE(reader.Open(std::make_unique<MemorySource>(packed), error)) << error;
  EXPECT_EQ(reader.size(), text.size());
  std::mt19937 rng(3);
  for (int i = 0; i < 300; ++i) {
    const std::size_t offset = rng() % text.size();
    const std::size_t length = rng() % std::min<std::size_t>(2000, text.size() - offset + 1);
    ASSERT_TRUE(reader.Read(offset, length, out, error)) << error;
    ASSERT_EQ(out, text.substr(offset, length)) << offset << "+" << length;
  }
  ASSERT_TRUE(reader.Read(text.size(), 0, out, error)) << error;
  EXPECT_FALSE(reader.Read(text.size() - 10, 11, out, error));
  EXPECT_NE(error.find("passes the end"), std::string::npos) << error;
  EXPECT_FALSE(reader.Read(UINT64_MAX, 2, out, error));
}

// The chunk table sits at a fixed place in these samples: 12 header bytes, "RA", its length,
// version, chunk length, count, then the sizes.
constexpr std::size_t kCount = 20;
constexpr std::size_t kSizes = 22;

TEST(Dictzip, BrokenChunkTablesAreRefusedByName) {
  const std::string good = samples::Dictzip(Text(5000), 1000);
  const auto open = [](std::string bytes) {
    DictzipReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(std::make_unique<MemorySource>(bytes), error));
    return error;
  };
  std::string more = good;
  more[kCount] = 9;  // nine chunks listed where the field holds five
  EXPECT_NE(open(more).find("broken chunk table"), std::string::npos);
  std::string bigger = good;
  bigger[kSizes + 1] = 0x7F;  // the first chunk far larger than the file
  EXPECT_NE(open(bigger).find("truncated"), std::string::npos);
  std::string smaller = good;
  smaller[kSizes] = static_cast<char>(smaller[kSizes] - 5);  // chunks no longer meet
  EXPECT_NE(open(smaller).find("chunk"), std::string::npos);
  std::string zero = good;
  zero[kCount - 2] = 0;
  zero[kCount - 1] = 0;  // chunk length 0
  EXPECT_NE(open(zero).find("chunk length is 0"), std::string::npos);
  std::string trailer = good;
  trailer[trailer.size() - 4] ^= 1;  // the unpacked size in the trailer
  EXPECT_NE(open(trailer).find("gzip trailer"), std::string::npos);
  EXPECT_NE(open(samples::Gzip("no table")).find("no extra field"), std::string::npos);
  for (std::size_t cut = 0; cut < good.size(); cut += 7) {
    EXPECT_FALSE(open(good.substr(0, cut)).empty()) << cut;
  }
}

TEST(Dictzip, ADamagedChunkIsNamedWhenRead) {
  const std::string text = Text(5000);
  std::string bytes = samples::Dictzip(text, 1000);
  bytes[40] ^= 0x55;  // inside the first chunk's packed bytes
  DictzipReader reader;
  std::string error, out;
  ASSERT_TRUE(reader.Open(std::make_unique<MemorySource>(bytes), error)) << error;
  EXPECT_TRUE(reader.Read(4500, 100, out, error)) << error;  // the last chunk is sound
  EXPECT_EQ(out, text.substr(4500, 100));
  bool refused = !reader.Read(0, 1000, out, error);
  // A flipped bit may still inflate; then it must not pass for the real text.
  EXPECT_TRUE(refused || out != text.substr(0, 1000));
  if (refused) {
    EXPECT_NE(error.find("chunk 1"), std::string::npos) << error;
  }
}

// Where chunk `k`'s packed bytes begin in a sample: after the header, its extra field, and the
// chunks before it (their sizes listed from kSizes on).
std::size_t PackedChunkAt(const std::string& bytes, std::size_t k) {
  const auto le16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  std::size_t at = 12 + le16(10);
  for (std::size_t i = 0; i < k; ++i) at += le16(kSizes + 2 * i);
  return at;
}

TEST(Dictzip, ReadingAheadGivesTheSameBytesAndErrorsInAnyOrder) {
  const std::string text = Text(60000);
  std::string bytes = samples::Dictzip(text, 500);  // 120 chunks: many more than are unpacked ahead
  bytes[PackedChunkAt(bytes, 60)] = '\xFF';          // a deflate block of the reserved type
  DictzipReader plain, ahead;
  std::string error, out, aheadError, aheadOut;
  ASSERT_TRUE(plain.Open(std::make_unique<MemorySource>(bytes), error)) << error;
  ASSERT_TRUE(ahead.Open(std::make_unique<MemorySource>(bytes), error)) << error;
  ahead.ReadAhead();

  // Front to back as the readers go, with overlaps and with gaps that skip whole chunks; across
  // the damaged chunk and past it; then back to the start, and forward again.
  std::vector<std::pair<std::size_t, std::size_t>> reads;
  std::mt19937 rng(11);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = std::min<std::size_t>(rng() % 1500, text.size() - at);
    reads.emplace_back(at, length);
    at += rng() % 4 == 0 ? rng() % 3000 : length;
    if (rng() % 5 == 0 && at > 200) at -= 200;
  }
  reads.emplace_back(29900, 300);
  reads.emplace_back(0, 100);
  reads.emplace_back(45000, 2000);
  reads.emplace_back(10, 10);
  bool sawDamage = false;
  for (const auto& [offset, length] : reads) {
    const bool read = plain.Read(offset, length, out, error);
    ASSERT_EQ(ahead.Read(offset, length, aheadOut, aheadError), read) << offset << "+" << length;
    if (read) {
      ASSERT_EQ(aheadOut, text.substr(offset, length)) << offset << "+" << length;
    } else {
      EXPECT_EQ(aheadError, error);
      EXPECT_NE(error.find("chunk 61"), std::string::npos) << error;
      sawDamage = true;
    }
  }
  EXPECT_TRUE(sawDamage);

  // Readers dropped at any point stop their thread (a hang or a use after free here is the fault).
  for (std::size_t taken = 0; taken < 4; ++taken) {
    DictzipReader early;
    ASSERT_TRUE(early.Open(std::make_unique<MemorySource>(bytes), error)) << error;
    early.ReadAhead();
    for (std::size_t r = 0; r < taken; ++r) ASSERT_TRUE(early.Read(r * 7000, 100, out, error)) << error;
  }
}

}  // namespace
}  // namespace kelvara::import
