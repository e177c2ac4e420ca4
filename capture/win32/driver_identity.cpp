#include "capture/win32/driver_identity.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

namespace kestova {
namespace {

// A driver larger than this is no driver of ours.
constexpr DWORD kLargestDriver = 16 * 1024 * 1024;

// Owns a provider and a hash; releases both.
class CSha1 {
 public:
  CSha1() {
    if (CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
      CryptCreateHash(provider_, CALG_SHA1, 0, 0, &hash_);
    }
  }
  ~CSha1() {
    if (hash_ != 0) CryptDestroyHash(hash_);
    if (provider_ != 0) CryptReleaseContext(provider_, 0);
  }
  CSha1(const CSha1&) = delete;
  CSha1& operator=(const CSha1&) = delete;

  // The lower-case hex digest of `bytes`; empty on failure.
  std::string Hex(const std::vector<BYTE>& bytes) {
    if (hash_ == 0) return std::string();
    if (!CryptHashData(hash_, bytes.data(), static_cast<DWORD>(bytes.size()), 0)) {
      return std::string();
    }
    BYTE digest[20] = {};
    DWORD length = sizeof digest;
    if (!CryptGetHashParam(hash_, HP_HASHVAL, digest, &length, 0) || length != sizeof digest) {
      return std::string();
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (BYTE b : digest) {
      hex += kDigits[b >> 4];
      hex += kDigits[b & 15];
    }
    return hex;
  }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};

}  // namespace

std::string DriverFileIdentity(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  const DWORD size = GetFileSize(file, nullptr);
  std::vector<BYTE> bytes(size <= kLargestDriver ? size : 0);
  DWORD read = 0;
  const bool whole = size <= kLargestDriver &&
                     (size == 0 || ReadFile(file, bytes.data(), size, &read, nullptr)) &&
                     read == size;
  CloseHandle(file);
  if (!whole) return std::string();
  const std::string hex = CSha1().Hex(bytes);
  if (hex.empty()) return std::string();
  return std::to_string(size) + " " + hex;
}

}  // namespace kestova
