// libFuzzer target for Zipcode parts: the first byte picks the part (its
// value modulo 4, plus 1), the rest is the part's file. A damaged part gives
// none of its sectors, a good one all of them, and no part gives another's.
// The same bytes are also tried as a file name, and read as a whole set
// whose four parts are all the same file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/run_failure.h"
#include "readers/readers.h"
#include "readers/zipcode.h"
#include "report/report_writer.h"

namespace {

// Every part beside is the file itself.
class SameFile final : public zumtal::Siblings {
 public:
  explicit SameFile(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Has(std::string_view) override { return true; }
  std::unique_ptr<zumtal::InputFile> Open(std::string_view) override {
    return std::make_unique<zumtal::InputFile>(bytes_);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const int part = data[0] % 4 + 1;
  zumtal::InputFile file(std::span<const std::uint8_t>(data + 1, size - 1));
  zumtal::ZipcodeDisk disk;
  const zumtal::ZipcodeFileResult result = disk.AddFile(file, part);
  if (result.damaged && result.damagedAt > size - 1) {
    __builtin_trap();
  }
  const zumtal::ZipcodeTrackRange tracks = zumtal::ZipcodeTracks(part);
  for (int track = 0; track <= 41; ++track) {
    const bool ours = track >= tracks.first && track <= tracks.last;
    for (int sector = 0; sector < 24; ++sector) {
      const bool onTrack = track >= 1 && sector < zumtal::kD64Format.sectorsPerTrack[static_cast<std::size_t>(track)];
      const zumtal::SectorPlace place =
          disk.Locate(static_cast<std::uint8_t>(track), static_cast<std::uint8_t>(sector));
      const bool present = place.state == zumtal::SectorState::kFound;
      if (present != (ours && onTrack && !result.damaged) || disk.Present(track, sector) != present ||
          (present && place.position + 256 > disk.Image().size())) {
        __builtin_trap();
      }
    }
  }

  const std::string name(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 300));
  if (const int named = zumtal::ZipcodeFileNumber(name); named != 0) {
    for (int other = 1; other <= 4; ++other) {
      const std::string sibling = zumtal::ZipcodeSiblingName(name, other);
      if (zumtal::ZipcodeFileNumber(sibling) != other || sibling.substr(1) != name.substr(1)) {
        __builtin_trap();
      }
    }
  }

  const std::span<const std::uint8_t> whole(data + 1, size - 1);
  SameFile same(whole);
  zumtal::Output out;
  zumtal::ReportWriter reports(out, zumtal::Layout::kCsv, zumtal::Collect::kNone, true);
  const zumtal::Format* format = zumtal::FindFormat("1!fuzz.z64");
  zumtal::InputFile first(whole);
  try {
    zumtal::ReadZipcode(first, reports, zumtal::ContainerNames{"1!fuzz.z64", "1!fuzz.z64", *format, &same});
  } catch (const zumtal::RunFailure& failure) {
    if (!failure.IsReadFailure()) {
      __builtin_trap();
    }
  }
  return 0;
}
