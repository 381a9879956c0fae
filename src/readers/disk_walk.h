// The directory walk shared by every disk image of the family: the disk
// name, the directory sectors in link order, and each closed program's
// chain of sectors.
#pragma once

#include <cstdint>

#include "readers/disk_format.h"
#include "readers/readers.h"

namespace zumtal {

// Whether a sector can be had, and if not, why.
enum class SectorState {
  kFound,
  kPastLastTrack,  // its track lies past the format's last
  kNotOnDisk,      // an encoded image without its track, or that sector
  kNoGoodCopy,     // its track holds no copy whose checksums hold
};

// Where a sector of a disk decoded into a plain image in memory lies.
struct SectorPlace {
  SectorState state;
  std::uint64_t position;  // in the plain image; for kFound only
};

// Says where a sector's 256 bytes lie in the input file that the walk reads.
// For a plain image that is arithmetic on the file itself; a format that
// stores its sectors encoded decodes them into memory first and the walk
// reads them there.
class SectorLocator {
 public:
  virtual ~SectorLocator() = default;
  // Sets `position` to the place of sector (track, sector), below
  // kSectorSize times the format's SectorPlaces(), when it can be had.
  virtual SectorState Locate(std::uint8_t track, std::uint8_t sector, std::uint64_t& position) = 0;
  // Whether the image's error bytes mark the sector at `position` (as
  // Locate gave it) as read by the drive with an error.
  virtual bool MarkedBad(std::uint64_t position) {
    (void)position;
    return false;
  }
};

// A disk decoded into memory (a NIB dump, a Zipcode set) whose own Locate
// says where each sector of tracks 1 to `lastTrack` lies, or why it is not
// there.
template <typename Decoded>
class DecodedLocator final : public SectorLocator {
 public:
  DecodedLocator(Decoded& decoded, int lastTrack) : decoded_(decoded), lastTrack_(lastTrack) {}
  SectorState Locate(std::uint8_t track, std::uint8_t sector, std::uint64_t& position) override {
    if (track < 1 || track > lastTrack_) {
      return SectorState::kPastLastTrack;
    }
    const SectorPlace place = decoded_.Locate(track, sector);
    position = place.position;
    return place.state;
  }

 private:
  Decoded& decoded_;
  int lastTrack_;
};

// Reports every closed program (type 130) of the disk, in directory order,
// reading `in` at the positions that `locator` gives.
void WalkDisk(InputFile& in, SectorLocator& locator, const DiskFormat& format, ProgramSink& sink,
              const ContainerNames& names);

}  // namespace zumtal
