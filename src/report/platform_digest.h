// Platform: MD5 and SHA-1 from the system's own cryptographic library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zumtal {

using Md5Value = std::array<std::uint8_t, 16>;
using Sha1Value = std::array<std::uint8_t, 20>;

// The MD5 and SHA-1 of one stream of bytes at a time. A failure of the
// library (out of memory) ends the run with the system's error number.
class Md5AndSha1 {
 public:
  Md5AndSha1();
  ~Md5AndSha1();
  Md5AndSha1(const Md5AndSha1&) = delete;
  Md5AndSha1& operator=(const Md5AndSha1&) = delete;

  // Begins a new stream.
  void Reset();
  void Update(const std::uint8_t* bytes, std::size_t count);
  // The values of the stream so far; a new stream needs Reset first.
  void Finish(Md5Value& md5, Sha1Value& sha1);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zumtal
