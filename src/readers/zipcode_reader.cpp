// Zipcode sets. The 1! file is read with the three beside it into a plain
// 35-track image in memory, which the directory walk reads as a D64's; a
// part that is missing or damaged leaves its tracks off the disk.
#include <string>
#include <vector>

#include "readers/disk_walk.h"
#include "readers/zipcode.h"

namespace zumtal {

namespace {

constexpr std::string_view kWithoutFirst = "Zipcode part without its 1! file";

// The most bytes of a part that its decoding reads: its header, then each
// sector of its tracks stored plain. A part beside is read this far.
constexpr std::size_t LongestPart() {
  std::size_t longest = 0;
  for (int part = 1; part <= kZipcodeFiles; ++part) {
    std::size_t bytes = part == 1 ? 4 : 2;
    for (int track = ZipcodeTracks(part).first; track <= ZipcodeTracks(part).last; ++track) {
      bytes += kD64Format.sectorsPerTrack[static_cast<std::size_t>(track)] * static_cast<std::size_t>(2 + kSectorSize);
    }
    longest = bytes > longest ? bytes : longest;
  }
  return longest;
}
static_assert(LongestPart() <= kSiblingBytes);

bool FirstBeside(const ContainerNames& names) {
  return names.siblings != nullptr && names.siblings->Has(ZipcodeSiblingName(names.bareName, 1));
}

}  // namespace

bool ZipcodeTakes(std::string_view bareName) { return ZipcodeFileNumber(bareName) != 0; }

std::vector<std::string> ZipcodeBeside(std::string_view bareName) {
  const int part = ZipcodeFileNumber(bareName);
  if (part == 0) {
    return {};
  }
  if (part != 1) {
    return {ZipcodeSiblingName(bareName, 1)};
  }
  return {ZipcodeSiblingName(bareName, 2), ZipcodeSiblingName(bareName, 3), ZipcodeSiblingName(bareName, 4)};
}

bool ZipcodeReportedElsewhere(const ContainerNames& names) {
  return ZipcodeFileNumber(names.bareName) > 1 && FirstBeside(names);
}

void ReadZipcode(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  const int part = ZipcodeFileNumber(names.bareName);
  if (part == 0) {
    sink.NotC64(names.pcFileName);
    return;
  }
  if (part != 1) {
    if (!FirstBeside(names)) {
      sink.Problem(names.pcFileName, kWithoutFirst);
    }
    return;
  }
  ZipcodeDisk disk;
  disk.AddFile(in, 1);
  if (names.siblings != nullptr) {
    for (int other = 2; other <= kZipcodeFiles; ++other) {
      if (const auto file = names.siblings->Open(ZipcodeSiblingName(names.bareName, other))) {
        disk.AddFile(*file, other);
      }
    }
  }
  DecodedLocator locator(disk, kD64Format.lastTrack);
  InputFile image(disk.Image());
  WalkDisk(image, locator, kD64Format, sink, names);
}

}  // namespace zumtal
