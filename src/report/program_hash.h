// The CRC-32, MD5 and SHA-1 of a program's PRG form: its two load-address
// bytes, low first, then its data bytes as the reader sums them.
#pragma once

#include <cstddef>
#include <cstdint>

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
  // Begins the next program.
  void Begin(std::uint16_t loadAddress);
  void Take(const std::uint8_t* bytes, std::size_t count) override;
  // The values of everything taken since Begin.
  ProgramHashes Finish();

 private:
  std::uint32_t crc_ = 0;
  Md5AndSha1 digests_;
  bool open_ = true;  // the digests take bytes (a new Md5AndSha1 does)
};

}  // namespace zumtal
