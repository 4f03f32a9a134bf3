// The few primitives the dictionary file needs, from the platform: CNG (bcrypt) on Windows,
// OpenSSL's libcrypto elsewhere. Both give the same bytes for the same inputs, so a file written
// on one opens on the other.
#pragma once

#include <array>
#include <memory>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvara::crypto {

inline constexpr std::size_t kKeySize = 32;    // AES-256
inline constexpr std::size_t kNonceSize = 12;  // GCM's standard nonce
inline constexpr std::size_t kTagSize = 16;
using Key = std::array<std::uint8_t, kKeySize>;
using Digest = std::array<std::uint8_t, 32>;

// Each returns false only when the platform's cryptography itself fails.
bool Pbkdf2Sha256(std::string_view password, std::span<const std::uint8_t> salt,
                  std::uint32_t iterations, std::span<std::uint8_t> out);
bool Sha256(std::span<const std::uint8_t> data, Digest& out);
bool RandomBytes(std::span<std::uint8_t> out);

// AES-256-GCM; `out` has the size of `in` and may be the same memory (in place). The tag is 16
// bytes.
bool AesGcmSeal(const Key& key, std::span<const std::uint8_t> nonce,
                std::span<const std::uint8_t> aad, std::span<const std::uint8_t> in,
                std::span<std::uint8_t> out, std::span<std::uint8_t, kTagSize> tag);

// An AES-256-GCM key prepared once for sealing many blocks (a dictionary of half a million rows
// has tens of thousands): the key schedule and the platform's handles are made here, not at
// every block. The same bytes as AesGcmSeal. Not safe for use from two threads at once.
class GcmSealer {
 public:
  explicit GcmSealer(const Key& key);
  ~GcmSealer();
  GcmSealer(const GcmSealer&) = delete;
  GcmSealer& operator=(const GcmSealer&) = delete;
  // As AesGcmSeal: `out` has the size of `in` and may be the same memory.
  bool Seal(std::span<const std::uint8_t> nonce, std::span<const std::uint8_t> aad,
            std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
            std::span<std::uint8_t, kTagSize> tag);

 private:
  struct State;
  State* state_;
};

enum class OpenStatus { Ok, TagMismatch, Failure };
OpenStatus AesGcmOpen(const Key& key, std::span<const std::uint8_t> nonce,
                      std::span<const std::uint8_t> aad, std::span<const std::uint8_t> in,
                      std::span<const std::uint8_t, kTagSize> tag, std::span<std::uint8_t> out);

// An AES-256-GCM key prepared once for many small decryptions (the dictionary's blocks): the
// key schedule and the platform's handles are made here, not at every block. Not safe for use
// from two threads at once.
class GcmOpener {
 public:
  explicit GcmOpener(const Key& key);
  ~GcmOpener();
  GcmOpener(const GcmOpener&) = delete;
  GcmOpener& operator=(const GcmOpener&) = delete;
  OpenStatus Open(std::span<const std::uint8_t> nonce, std::span<const std::uint8_t> aad,
                  std::span<const std::uint8_t> in, std::span<const std::uint8_t, kTagSize> tag,
                  std::span<std::uint8_t> out);

 private:
  struct State;
  State* state_;
};

}  // namespace kelvara::crypto
