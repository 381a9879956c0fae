#include "report/program_hash.h"

#include <libdeflate.h>

namespace zumtal {

void ProgramHash::Begin(std::uint16_t loadAddress) {
  digests_.Reset();
  open_ = true;
  crc_ = 0;
  const std::uint8_t bytes[] = {static_cast<std::uint8_t>(loadAddress), static_cast<std::uint8_t>(loadAddress >> 8)};
  Take(bytes, sizeof bytes);
}

void ProgramHash::Take(const std::uint8_t* bytes, std::size_t count) {
  if (!open_) {  // bytes without a Begin: a stream of their own
    digests_.Reset();
    open_ = true;
  }
  crc_ = libdeflate_crc32(crc_, bytes, count);
  digests_.Update(bytes, count);
}

ProgramHashes ProgramHash::Finish() {
  ProgramHashes hashes;
  if (!open_) {
    digests_.Reset();  // nothing since the last Finish: the empty stream's values
  }
  hashes.crc32 = crc_;
  digests_.Finish(hashes.md5, hashes.sha1);
  open_ = false;
  crc_ = 0;
  return hashes;
}

}  // namespace zumtal
