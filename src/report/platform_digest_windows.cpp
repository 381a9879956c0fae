// MD5 and SHA-1 from the system's CNG (bcrypt.dll).
#include <windows.h>
// After windows.h.
#include <bcrypt.h>

#include "base/run_failure.h"
#include "report/platform_digest.h"

namespace zumtal {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// The algorithm providers are opened once per run.
struct Providers {
  BCRYPT_ALG_HANDLE md5 = nullptr;
  BCRYPT_ALG_HANDLE sha1 = nullptr;
  Providers() {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&md5, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
      md5 = nullptr;
    }
    if (!Succeeded(BCryptOpenAlgorithmProvider(&sha1, BCRYPT_SHA1_ALGORITHM, nullptr, 0))) {
      sha1 = nullptr;
    }
  }
  ~Providers() {
    if (md5 != nullptr) {
      BCryptCloseAlgorithmProvider(md5, 0);
    }
    if (sha1 != nullptr) {
      BCryptCloseAlgorithmProvider(sha1, 0);
    }
  }
};

const Providers& Opened() {
  static const Providers providers;
  return providers;
}

void Check(NTSTATUS status) {
  if (!Succeeded(status)) {
    FailSystem(ERROR_NOT_ENOUGH_MEMORY);
  }
}

// One hash object per stream: CNG allocates it.
BCRYPT_HASH_HANDLE NewHash(BCRYPT_ALG_HANDLE provider) {
  if (provider == nullptr) {
    FailSystem(ERROR_NOT_ENOUGH_MEMORY);
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  Check(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0));
  return hash;
}

void Destroy(BCRYPT_HASH_HANDLE& hash) {
  if (hash != nullptr) {
    BCryptDestroyHash(hash);
    hash = nullptr;
  }
}

void Feed(BCRYPT_HASH_HANDLE hash, const std::uint8_t* bytes, std::size_t count) {
  // BCryptHashData takes a 32-bit count and a non-const pointer it only reads.
  while (count > 0) {
    const ULONG part = static_cast<ULONG>(count > 0x40000000u ? 0x40000000u : count);
    Check(BCryptHashData(hash, const_cast<PUCHAR>(bytes), part, 0));
    bytes += part;
    count -= part;
  }
}

}  // namespace

// A hash object for each chosen algorithm; nullptr for the others.
struct Md5AndSha1::State {
  bool md5Chosen = false;
  bool sha1Chosen = false;
  BCRYPT_HASH_HANDLE md5 = nullptr;
  BCRYPT_HASH_HANDLE sha1 = nullptr;
  ~State() {
    Destroy(md5);
    Destroy(sha1);
  }
};

Md5AndSha1::Md5AndSha1(HashSet which) : state_(std::make_unique<State>()) {
  state_->md5Chosen = (which & kMd5Hash) != 0;
  state_->sha1Chosen = (which & kSha1Hash) != 0;
  Reset();
}

Md5AndSha1::~Md5AndSha1() = default;

void Md5AndSha1::Reset() {
  Destroy(state_->md5);
  Destroy(state_->sha1);
  if (state_->md5Chosen) {
    state_->md5 = NewHash(Opened().md5);
  }
  if (state_->sha1Chosen) {
    state_->sha1 = NewHash(Opened().sha1);
  }
}

void Md5AndSha1::Update(const std::uint8_t* bytes, std::size_t count) {
  if (state_->md5 != nullptr) {
    Feed(state_->md5, bytes, count);
  }
  if (state_->sha1 != nullptr) {
    Feed(state_->sha1, bytes, count);
  }
}

void Md5AndSha1::Finish(Md5Value& md5, Sha1Value& sha1) {
  if (state_->md5 != nullptr) {
    Check(BCryptFinishHash(state_->md5, md5.data(), static_cast<ULONG>(md5.size()), 0));
  }
  if (state_->sha1 != nullptr) {
    Check(BCryptFinishHash(state_->sha1, sha1.data(), static_cast<ULONG>(sha1.size()), 0));
  }
}

}  // namespace zumtal
