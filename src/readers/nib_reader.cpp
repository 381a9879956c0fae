// NIB disk dumps and their compressed form, NBZ. The dump's tracks are
// decoded into a plain image of the disk's sectors in memory, each the first
// time the directory walk needs one of its sectors, and the walk reads them
// there as it reads a G64's.
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "readers/disk_walk.h"
#include "readers/nbz.h"
#include "readers/nib_image.h"

namespace zumtal {

namespace {

// A dump without the signature is some other machine's.
void WalkNib(InputFile& nib, ProgramSink& sink, const ContainerNames& names) {
  if (!HasNibSignature(nib)) {
    sink.NotC64(names.pcFileName);
    return;
  }
  NibImage decoded(nib);
  DecodedLocator locator(decoded, kG64Format.lastTrack);
  InputFile image(decoded.Image());
  WalkDisk(image, locator, kG64Format, sink, names);
}

}  // namespace

void ReadNib(InputFile& in, ProgramSink& sink, const ContainerNames& names) { WalkNib(in, sink, names); }

// The whole dump is decompressed first: its tracks lie anywhere in it. It
// is never larger than the largest NIB.
void ReadNbz(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  std::vector<std::uint8_t> bytes;
  if (const NbzResult result = DecompressNbz(in, bytes); !result.ok) {
    FailRead("compressed data damaged at byte " + std::to_string(result.damagedAt));
  }
  InputFile nib(std::move(bytes));
  WalkNib(nib, sink, names);
}

}  // namespace zumtal
