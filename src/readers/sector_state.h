// What became of a sector of a disk whose sectors are decoded into a plain
// image in memory before the directory walk reads them.
#pragma once

#include <cstdint>

namespace zumtal {

enum class SectorState {
  kGood,        // decoded: its 256 bytes lie at the place given
  kAbsent,      // the disk has no such sector: no such track, a missing or damaged one, or a number past the track's
  kNoGoodCopy,  // its track is there, but holds no copy of it that passes its checks
};

struct SectorPlace {
  SectorState state;
  std::uint64_t position;  // in the plain image; for kGood only
};

}  // namespace zumtal
