#include "report/program_hash.h"

#include <libdeflate.h>

#include <cstring>

namespace zumtal {

ProgramHash::ProgramHash(HashSet which)
    : crc32_((which & kCrc32Hash) != 0), digests_(which), digesting_((which & (kMd5Hash | kSha1Hash)) != 0) {}

void ProgramHash::Begin(std::uint16_t loadAddress) {
  digests_.Reset();
  open_ = true;
  crc_ = 0;
  gatheredCount_ = 0;
  const std::uint8_t bytes[] = {static_cast<std::uint8_t>(loadAddress), static_cast<std::uint8_t>(loadAddress >> 8)};
  Take(bytes, sizeof bytes);
}

void ProgramHash::Take(const std::uint8_t* bytes, std::size_t count) {
  if (!open_) {  // bytes without a Begin: a stream of their own
    digests_.Reset();
    open_ = true;
  }
  if (count == 0) {
    return;
  }
  if (gatheredCount_ + count > kGather) {
    Flush();
  }
  if (count >= kGather) {
    Hash(bytes, count);
    return;
  }
  if (!gathered_) {
    gathered_.reset(new std::uint8_t[kGather]);  // not zeroed: only what is gathered is read
  }
  std::memcpy(gathered_.get() + gatheredCount_, bytes, count);
  gatheredCount_ += count;
}

void ProgramHash::Flush() {
  if (gatheredCount_ > 0) {
    Hash(gathered_.get(), gatheredCount_);
    gatheredCount_ = 0;
  }
}

void ProgramHash::Hash(const std::uint8_t* bytes, std::size_t count) {
  if (crc32_) {
    crc_ = libdeflate_crc32(crc_, bytes, count);
  }
  if (digesting_) {
    digests_.Update(bytes, count);
  }
}

ProgramHashes ProgramHash::Finish() {
  ProgramHashes hashes;
  if (!open_) {
    digests_.Reset();  // nothing since the last Finish: the empty stream's values
  }
  Flush();
  hashes.crc32 = crc_;
  digests_.Finish(hashes.md5, hashes.sha1);
  open_ = false;
  crc_ = 0;
  return hashes;
}

}  // namespace zumtal
