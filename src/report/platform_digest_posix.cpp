// MD5 and SHA-1 from OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <cerrno>

#include "base/run_failure.h"
#include "report/platform_digest.h"

namespace zumtal {

namespace {

// The algorithms are looked up once per run.
struct Algorithms {
  EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  EVP_MD* sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  ~Algorithms() {
    EVP_MD_free(md5);
    EVP_MD_free(sha1);
  }
};

const Algorithms& Fetched() {
  static const Algorithms algorithms;
  return algorithms;
}

void Check(int result) {
  if (result != 1) {
    FailSystem(ENOMEM);
  }
}

}  // namespace

// A context for each chosen algorithm; nullptr for the others.
struct Md5AndSha1::State {
  EVP_MD_CTX* md5 = nullptr;
  EVP_MD_CTX* sha1 = nullptr;
  ~State() {
    EVP_MD_CTX_free(md5);
    EVP_MD_CTX_free(sha1);
  }
};

Md5AndSha1::Md5AndSha1(HashSet which) : state_(std::make_unique<State>()) {
  if ((which & kMd5Hash) != 0) {
    state_->md5 = EVP_MD_CTX_new();
    if (state_->md5 == nullptr || Fetched().md5 == nullptr) {
      FailSystem(ENOMEM);
    }
  }
  if ((which & kSha1Hash) != 0) {
    state_->sha1 = EVP_MD_CTX_new();
    if (state_->sha1 == nullptr || Fetched().sha1 == nullptr) {
      FailSystem(ENOMEM);
    }
  }
  Reset();
}

Md5AndSha1::~Md5AndSha1() = default;

void Md5AndSha1::Reset() {
  if (state_->md5 != nullptr) {
    Check(EVP_DigestInit_ex(state_->md5, Fetched().md5, nullptr));
  }
  if (state_->sha1 != nullptr) {
    Check(EVP_DigestInit_ex(state_->sha1, Fetched().sha1, nullptr));
  }
}

void Md5AndSha1::Update(const std::uint8_t* bytes, std::size_t count) {
  if (state_->md5 != nullptr) {
    Check(EVP_DigestUpdate(state_->md5, bytes, count));
  }
  if (state_->sha1 != nullptr) {
    Check(EVP_DigestUpdate(state_->sha1, bytes, count));
  }
}

void Md5AndSha1::Finish(Md5Value& md5, Sha1Value& sha1) {
  if (state_->md5 != nullptr) {
    Check(EVP_DigestFinal_ex(state_->md5, md5.data(), nullptr));
  }
  if (state_->sha1 != nullptr) {
    Check(EVP_DigestFinal_ex(state_->sha1, sha1.data(), nullptr));
  }
}

}  // namespace zumtal
