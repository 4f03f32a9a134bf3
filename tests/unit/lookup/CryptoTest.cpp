// Known answers from published test vectors (RFC 7914 for PBKDF2-SHA256, the GCM paper's AES-256
// cases, FIPS 180-2 for SHA-256). The same tests run natively (OpenSSL) and under Wine (CNG), which
// is what lets a file written on one platform open on the other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lookup/Crypto.h"

namespace kelvara::crypto {
namespace {

std::vector<std::uint8_t> Hex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

Key KeyFromHex(std::string_view hex) {
  Key key{};
  const auto bytes = Hex(hex);
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

TEST(Crypto, Pbkdf2Sha256GivesTheStandardBytes) {
  std::vector<std::uint8_t> out(64);
  ASSERT_TRUE(Pbkdf2Sha256("passwd", Hex("73616c74"), 1, out));
  EXPECT_EQ(out, Hex("55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                     "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"));
  // The program's password, a 16-byte salt and the smallest cost files may use (Python's hashlib).
  std::vector<std::uint8_t> salt(16);
  for (std::size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<std::uint8_t>(i);
  std::vector<std::uint8_t> key(32);
  ASSERT_TRUE(Pbkdf2Sha256("Record Key Missing", salt, 1000, key));
  EXPECT_EQ(key, Hex("a0d257bb4efba8b1d6463d1f0ee0dd09b77c47f169d5708b44c048048710b94e"));
}

TEST(Crypto, Sha256GivesTheStandardDigest) {
  Digest d{};
  const std::string abc = "abc";
  ASSERT_TRUE(Sha256(std::span(reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()), d));
  EXPECT_EQ(std::vector<std::uint8_t>(d.begin(), d.end()),
            Hex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
}

TEST(Crypto, AesGcmSealsAndOpensTheStandardVectors) {
  struct Case {
    const char *key, *nonce, *aad, *plain, *cipher, *tag;
  };
  const Case cases[] = {
      {"0000000000000000000000000000000000000000000000000000000000000000",
       "000000000000000000000000", "", "", "", "530f8afbc74536b9a963b4f1c4cb738b"},
      {"0000000000000000000000000000000000000000000000000000000000000000",
       "000000000000000000000000", "", "00000000000000000000000000000000",
       "cea7403d4d606b6e074ec5d3baf39d18", "d0d1c8a799996bf0265b98b5d48ab919"},
      {"feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308",
       "cafebabefacedbaddecaf888", "feedfacedeadbeeffeedfacedeadbeefabaddad2",
       "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a721c3c0c95956809532fcf0e24"
       "49a6b525b16aedf5aa0de657ba637b39",
       "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa8cb08e48590dbb3da7b08b10"
       "56828838c5f61e6393ba7a0abcc9f662",
       "76fc6ece0f4e1768cddf8853bb2d551b"},
  };
  for (const Case& c : cases) {
    const Key key = KeyFromHex(c.key);
    const auto nonce = Hex(c.nonce), aad = Hex(c.aad), plain = Hex(c.plain);
    std::vector<std::uint8_t> cipher(plain.size());
    std::array<std::uint8_t, kTagSize> tag{};
    ASSERT_TRUE(AesGcmSeal(key, nonce, aad, plain, cipher, tag));
    EXPECT_EQ(cipher, Hex(c.cipher));
    EXPECT_EQ(std::vector<std::uint8_t>(tag.begin(), tag.end()), Hex(c.tag));

    std::vector<std::uint8_t> opened(cipher.size());
    EXPECT_EQ(AesGcmOpen(key, nonce, aad, cipher, tag, opened), OpenStatus::Ok);
    EXPECT_EQ(opened, plain);
  }
}

TEST(Crypto, AesGcmReportsAnyChangeAsATagMismatch) {
  const Key key = KeyFromHex("feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308");
  const auto nonce = Hex("cafebabefacedbaddecaf888"), aad = Hex("feedface");
  const std::vector<std::uint8_t> plain(100, 0x42);
  std::vector<std::uint8_t> cipher(plain.size()), out(plain.size());
  std::array<std::uint8_t, kTagSize> tag{};
  ASSERT_TRUE(AesGcmSeal(key, nonce, aad, plain, cipher, tag));

  auto changedCipher = cipher;
  changedCipher[50] ^= 1;
  EXPECT_EQ(AesGcmOpen(key, nonce, aad, changedCipher, tag, out), OpenStatus::TagMismatch);
  auto changedTag = tag;
  changedTag[0] ^= 1;
  EXPECT_EQ(AesGcmOpen(key, nonce, aad, cipher, changedTag, out), OpenStatus::TagMismatch);
  EXPECT_EQ(AesGcmOpen(key, nonce, Hex("feedfacf"), cipher, tag, out), OpenStatus::TagMismatch);
  Key otherKey = key;
  otherKey[31] ^= 1;
  EXPECT_EQ(AesGcmOpen(otherKey, nonce, aad, cipher, tag, out), OpenStatus::TagMismatch);
}

TEST(Crypto, OneOpenerOpensBlockAfterBlockAndAFailureLeavesNothingBehind) {
  // The reader's use: one prepared key, a nonce and a tag a block, the header as associated data.
  const Key key = KeyFromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  std::vector<std::uint8_t> header(80);
  for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<std::uint8_t>(i * 3 + 1);
  struct Block {
    std::vector<std::uint8_t> nonce, plain, sealed;
    std::array<std::uint8_t, kTagSize> tag{};
  };
  std::vector<Block> blocks(6);
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    Block& block = blocks[b];
    block.nonce.assign(kNonceSize, static_cast<std::uint8_t>(b));
    block.plain.resize(b * 100);  // the first one empty
    for (std::size_t i = 0; i < block.plain.size(); ++i) block.plain[i] = static_cast<std::uint8_t>(i * 7 + b);
    block.sealed.resize(block.plain.size());
    ASSERT_TRUE(AesGcmSeal(key, block.nonce, header, block.plain, block.sealed, block.tag));
  }
  GcmOpener opener(key);
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      const Block& block = blocks[b];
      std::vector<std::uint8_t> out(block.sealed.size());
      ASSERT_EQ(opener.Open(block.nonce, header, block.sealed, block.tag, out), OpenStatus::Ok) << b;
      EXPECT_EQ(out, block.plain) << b;
      // Each kind of damage fails this block only; the next one opens as before.
      auto badTag = block.tag;
      badTag[15] ^= 0x80;
      EXPECT_EQ(opener.Open(block.nonce, header, block.sealed, badTag, out), OpenStatus::TagMismatch) << b;
      EXPECT_EQ(opener.Open(blocks[(b + 1) % blocks.size()].nonce, header, block.sealed, block.tag, out),
                OpenStatus::TagMismatch) << "a block under another block's nonce, " << b;
      auto otherHeader = header;
      otherHeader[79] ^= 1;
      EXPECT_EQ(opener.Open(block.nonce, otherHeader, block.sealed, block.tag, out), OpenStatus::TagMismatch) << b;
      if (!block.sealed.empty()) {
        auto changed = block.sealed;
        changed[changed.size() / 2] ^= 4;
        EXPECT_EQ(opener.Open(block.nonce, header, changed, block.tag, out), OpenStatus::TagMismatch) << b;
      }
    }
  }
  std::vector<std::uint8_t> out(3);
  EXPECT_EQ(opener.Open(blocks[1].nonce, header, std::span(blocks[1].sealed).first(4), blocks[1].tag, out),
            OpenStatus::Failure) << "an output of another size than the input";
}

TEST(Crypto, RandomBytesDiffer) {
  std::array<std::uint8_t, 32> a{}, b{};
  ASSERT_TRUE(RandomBytes(a));
  ASSERT_TRUE(RandomBytes(b));
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace kelvara::crypto
