// The directory walk shared by every disk image of the family: the disk
// name, the directory sectors in link order, and each closed program's
// chain of sectors.
#pragma once

#include <cstdint>

#include "readers/disk_format.h"
#include "readers/readers.h"

namespace zumtal {

// Says where a sector's 256 bytes lie in the input file that the walk reads.
// For a plain image that is arithmetic on the file itself; a format that
// stores its sectors encoded decodes them into memory first and the walk
// reads them there.
class SectorLocator {
 public:
  virtual ~SectorLocator() = default;
  // The position of sector (track, sector), below kSectorSize times the
  // format's SectorPlaces(). A sector that cannot be had ends the run with
  // kReadFailure.
  virtual std::uint64_t Locate(std::uint8_t track, std::uint8_t sector) = 0;
};

// Reports every closed program (type 130) of the disk, in directory order,
// reading `in` at the positions that `locator` gives.
void WalkDisk(InputFile& in, SectorLocator& locator, const DiskFormat& format, ReportWriter& reports,
              const ContainerNames& names);

}  // namespace zumtal
