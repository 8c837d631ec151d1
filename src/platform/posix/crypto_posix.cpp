// The system's cryptography on Linux: libcrypto.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include "platform/platform.h"

namespace vz {

std::optional<Digest> Sha256(const std::string& data) {
  Digest d{};
  unsigned int n = 0;
  if (EVP_Digest(data.data(), data.size(), d.data(), &n, EVP_sha256(), nullptr) != 1 || n != d.size())
    return std::nullopt;
  return d;
}

std::optional<Digest> HmacSha256(const std::string& key, const std::string& data) {
  Digest d{};
  unsigned int n = 0;
  if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
            data.size(), d.data(), &n) ||
      n != d.size())
    return std::nullopt;
  return d;
}

bool RandomBytes(void* out, std::size_t n) {
  return RAND_bytes(static_cast<unsigned char*>(out), static_cast<int>(n)) == 1;
}

}  // namespace vz
