// CNG (bcrypt) behind Crypto.h, for the Windows build.
#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <climits>
#include <memory>
#include <type_traits>

#include "Crypto.h"

namespace kelvara::crypto {
namespace {

constexpr NTSTATUS kAuthTagMismatch = static_cast<NTSTATUS>(0xC000A002L);

bool Ok(NTSTATUS status) { return status >= 0; }

struct AlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE h) const { BCryptCloseAlgorithmProvider(h, 0); }
};
using Algorithm = std::unique_ptr<std::remove_pointer_t<BCRYPT_ALG_HANDLE>, AlgorithmCloser>;

struct KeyDestroyer {
  void operator()(BCRYPT_KEY_HANDLE h) const { BCryptDestroyKey(h); }
};
using KeyHandle = std::unique_ptr<std::remove_pointer_t<BCRYPT_KEY_HANDLE>, KeyDestroyer>;

struct HashDestroyer {
  void operator()(BCRYPT_HASH_HANDLE h) const { BCryptDestroyHash(h); }
};
using HashHandle = std::unique_ptr<std::remove_pointer_t<BCRYPT_HASH_HANDLE>, HashDestroyer>;

Algorithm OpenAlgorithm(LPCWSTR id, ULONG flags) {
  BCRYPT_ALG_HANDLE h = nullptr;
  if (!Ok(BCryptOpenAlgorithmProvider(&h, id, nullptr, flags))) return nullptr;
  return Algorithm(h);
}

// An AES key in GCM mode.
KeyHandle GcmKey(const Algorithm& aes, const Key& key) {
  if (!aes) return nullptr;
  auto mode = const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM);
  if (!Ok(BCryptSetProperty(aes.get(), BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode),
                            static_cast<ULONG>(sizeof(BCRYPT_CHAIN_MODE_GCM)), 0))) {
    return nullptr;
  }
  BCRYPT_KEY_HANDLE h = nullptr;
  if (!Ok(BCryptGenerateSymmetricKey(aes.get(), &h, nullptr, 0, const_cast<PUCHAR>(key.data()),
                                     static_cast<ULONG>(key.size()), 0))) {
    return nullptr;
  }
  return KeyHandle(h);
}

bool FitsUlong(std::size_t n) { return n <= ULONG_MAX; }

// The GCM parameters of one call: its nonce, additional data and tag (read or written).
BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO AuthInfo(std::span<const std::uint8_t> nonce,
                                               std::span<const std::uint8_t> aad,
                                               std::span<const std::uint8_t, kTagSize> tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = const_cast<PUCHAR>(nonce.data());
  info.cbNonce = static_cast<ULONG>(nonce.size());
  info.pbAuthData = const_cast<PUCHAR>(aad.data());
  info.cbAuthData = static_cast<ULONG>(aad.size());
  info.pbTag = const_cast<PUCHAR>(tag.data());
  info.cbTag = static_cast<ULONG>(tag.size());
  return info;
}

}  // namespace

bool Pbkdf2Sha256(std::string_view password, std::span<const std::uint8_t> salt,
                  std::uint32_t iterations, std::span<std::uint8_t> out) {
  if (iterations == 0 || !FitsUlong(password.size()) || !FitsUlong(salt.size()) ||
      !FitsUlong(out.size())) {
    return false;
  }
  const Algorithm hmac = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  return hmac &&
         Ok(BCryptDeriveKeyPBKDF2(
             hmac.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
             static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt.data()),
             static_cast<ULONG>(salt.size()), iterations, out.data(),
             static_cast<ULONG>(out.size()), 0));
}

bool Sha256(std::span<const std::uint8_t> data, Digest& out) {
  if (!FitsUlong(data.size())) return false;
  const Algorithm sha = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM, 0);
  if (!sha) return false;
  BCRYPT_HASH_HANDLE h = nullptr;
  if (!Ok(BCryptCreateHash(sha.get(), &h, nullptr, 0, nullptr, 0, 0))) return false;
  const HashHandle hash(h);
  return Ok(BCryptHashData(hash.get(), const_cast<PUCHAR>(data.data()),
                           static_cast<ULONG>(data.size()), 0)) &&
         Ok(BCryptFinishHash(hash.get(), out.data(), static_cast<ULONG>(out.size()), 0));
}

bool RandomBytes(std::span<std::uint8_t> out) {
  return FitsUlong(out.size()) &&
         Ok(BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

namespace {

// The provider and the key a sealer or an opener keeps for all its blocks (opening the provider
// for each block would cost more than the block).
struct PreparedGcm {
  Algorithm aes = OpenAlgorithm(BCRYPT_AES_ALGORITHM, 0);
  KeyHandle key;

  explicit PreparedGcm(const Key& k) : key(GcmKey(aes, k)) {}
};

}  // namespace

struct GcmSealer::State : PreparedGcm {
  using PreparedGcm::PreparedGcm;
};

GcmSealer::GcmSealer(const Key& key) : state_(new State(key)) {}

GcmSealer::~GcmSealer() { delete state_; }

bool GcmSealer::Seal(std::span<const std::uint8_t> nonce, std::span<const std::uint8_t> aad,
                     std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                     std::span<std::uint8_t, kTagSize> tag) {
  if (!state_->key || out.size() != in.size() || !FitsUlong(in.size()) || !FitsUlong(aad.size())) return false;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = AuthInfo(nonce, aad, tag);
  ULONG written = 0;
  return Ok(BCryptEncrypt(state_->key.get(), const_cast<PUCHAR>(in.data()), static_cast<ULONG>(in.size()),
                          &info, nullptr, 0, out.data(), static_cast<ULONG>(out.size()), &written,
                          0)) &&
         written == in.size();
}

bool AesGcmSeal(const Key& key, std::span<const std::uint8_t> nonce,
                std::span<const std::uint8_t> aad, std::span<const std::uint8_t> in,
                std::span<std::uint8_t> out, std::span<std::uint8_t, kTagSize> tag) {
  return GcmSealer(key).Seal(nonce, aad, in, out, tag);
}

struct GcmOpener::State : PreparedGcm {
  using PreparedGcm::PreparedGcm;
};

GcmOpener::GcmOpener(const Key& key) : state_(new State(key)) {}

GcmOpener::~GcmOpener() { delete state_; }

OpenStatus GcmOpener::Open(std::span<const std::uint8_t> nonce, std::span<const std::uint8_t> aad,
                           std::span<const std::uint8_t> in,
                           std::span<const std::uint8_t, kTagSize> tag, std::span<std::uint8_t> out) {
  if (!state_->key || out.size() != in.size() || !FitsUlong(in.size()) || !FitsUlong(aad.size())) {
    return OpenStatus::Failure;
  }
  ULONG written = 0;
  if (in.empty()) {
    // Wine's CNG decrypts nothing without checking the tag: the tag of nothing is made here and
    // compared, every byte whatever the first difference.
    std::array<std::uint8_t, kTagSize> expected{};
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO sealing = AuthInfo(nonce, aad, expected);
    if (!Ok(BCryptEncrypt(state_->key.get(), nullptr, 0, &sealing, nullptr, 0, nullptr, 0, &written, 0))) {
      return OpenStatus::Failure;
    }
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < kTagSize; ++i) difference |= static_cast<std::uint8_t>(expected[i] ^ tag[i]);
    return difference == 0 ? OpenStatus::Ok : OpenStatus::TagMismatch;
  }
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = AuthInfo(nonce, aad, tag);
  const NTSTATUS status =
      BCryptDecrypt(state_->key.get(), const_cast<PUCHAR>(in.data()), static_cast<ULONG>(in.size()),
                    &info, nullptr, 0, out.data(), static_cast<ULONG>(out.size()), &written, 0);
  if (status == kAuthTagMismatch) return OpenStatus::TagMismatch;
  return Ok(status) && written == in.size() ? OpenStatus::Ok : OpenStatus::Failure;
}

OpenStatus AesGcmOpen(const Key& key, std::span<const std::uint8_t> nonce,
                      std::span<const std::uint8_t> aad, std::span<const std::uint8_t> in,
                      std::span<const std::uint8_t, kTagSize> tag, std::span<std::uint8_t> out) {
  return GcmOpener(key).Open(nonce, aad, in, tag, out);
}

}  // namespace kelvara::crypto
