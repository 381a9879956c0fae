// The CRC-32, MD5 and SHA-1 of a program's PRG form: its two load-address
// bytes, low first, then its data bytes as the reader sums them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "readers/input_file.h"
#include "report/platform_digest.h"

namespace zumtal {

struct ProgramHashes {
  std::uint32_t crc32 = 0;
  Md5Value md5{};
  Sha1Value sha1{};
};

class ProgramHash final : public ByteSink {
 public:
  // Computes the hashes that `which` holds; the others stay zero.
  explicit ProgramHash(HashSet which = kAllHashes);
  // Begins the next program.
  void Begin(std::uint16_t loadAddress);
  void Take(const std::uint8_t* bytes, std::size_t count) override;
  // The values of everything taken since Begin.
  ProgramHashes Finish();

  // Short runs (a disk program's sectors) are gathered up to this many
  // bytes and hashed in one call: each call of a hash costs its own.
  static constexpr std::size_t kGather = 64 * 1024;

 private:
  // Hashes what is gathered.
  void Flush();
  void Hash(const std::uint8_t* bytes, std::size_t count);

  bool crc32_;
  std::uint32_t crc_ = 0;
  Md5AndSha1 digests_;
  bool digesting_;                            // MD5 or SHA-1 chosen
  bool open_ = true;                          // the digests take bytes (a new Md5AndSha1 does)
  std::unique_ptr<std::uint8_t[]> gathered_;  // kGather bytes, once needed
  std::size_t gatheredCount_ = 0;
};

}  // namespace zumtal
