// The system's cryptography on Windows: BCrypt (Windows 7 and later).
#include <windows.h>
#include <bcrypt.h>

#include "platform/platform.h"

namespace vz {
namespace {

bool Ok(NTSTATUS s) { return s >= 0; }

// One hash or HMAC over data with SHA-256; an empty key means a plain hash.
std::optional<Digest> Hash(const std::string* key, const std::string& data) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!Ok(BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, key ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0)))
    return std::nullopt;
  BCRYPT_HASH_HANDLE h = nullptr;
  Digest d{};
  bool ok = Ok(BCryptCreateHash(alg, &h, nullptr, 0,
                                key ? reinterpret_cast<PUCHAR>(const_cast<char*>(key->data())) : nullptr,
                                key ? static_cast<ULONG>(key->size()) : 0, 0)) &&
            Ok(BCryptHashData(h, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), static_cast<ULONG>(data.size()), 0)) &&
            Ok(BCryptFinishHash(h, d.data(), static_cast<ULONG>(d.size()), 0));
  if (h) BCryptDestroyHash(h);
  BCryptCloseAlgorithmProvider(alg, 0);
  if (!ok) return std::nullopt;
  return d;
}

}  // namespace

std::optional<Digest> Sha256(const std::string& data) { return Hash(nullptr, data); }
std::optional<Digest> HmacSha256(const std::string& key, const std::string& data) { return Hash(&key, data); }

bool RandomBytes(void* out, std::size_t n) {
  return Ok(BCryptGenRandom(nullptr, static_cast<PUCHAR>(out), static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace vz
