// Platform: MD5 and SHA-1 from the system's own cryptographic library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zumtal {

using Md5Value = std::array<std::uint8_t, 16>;
using Sha1Value = std::array<std::uint8_t, 20>;

// A choice of hashes, as bits: a run computes only those its layout writes.
using HashSet = unsigned;
inline constexpr HashSet kCrc32Hash = 1;
inline constexpr HashSet kMd5Hash = 2;
inline constexpr HashSet kSha1Hash = 4;
inline constexpr HashSet kAllHashes = kCrc32Hash | kMd5Hash | kSha1Hash;

// The MD5 and SHA-1 of one stream of bytes at a time, or just those of the
// two that `which` holds (the others stay all zero). A failure of the
// library (out of memory) ends the run with the system's error number.
class Md5AndSha1 {
 public:
  explicit Md5AndSha1(HashSet which = kAllHashes);
  ~Md5AndSha1();
  Md5AndSha1(const Md5AndSha1&) = delete;
  Md5AndSha1& operator=(const Md5AndSha1&) = delete;

  // Begins a new stream.
  void Reset();
  void Update(const std::uint8_t* bytes, std::size_t count);
  // The values of the stream so far (those not chosen are left as they
  // are); a new stream needs Reset first.
  void Finish(Md5Value& md5, Sha1Value& sha1);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zumtal
