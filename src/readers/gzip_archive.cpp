// Gzip files: one compressed stream of one or more members.
#include "base/run_failure.h"
#include "readers/archives.h"
#include "readers/inflate.h"

namespace zumtal {

bool ReadGzip(InputFile& in, std::vector<std::uint8_t>& content) {
  in.SeekTo(0);
  if (in.FileLength() < 2 || in.ReadByte() != 0x1F || in.ReadByte() != 0x8B) {
    FailRead("not in gzip format");
  }
  in.SeekTo(0);
  return Inflate(in, in.FileLength(), DeflateWrapping::kGzip, kMaxMemberSize, content);
}

}  // namespace zumtal
