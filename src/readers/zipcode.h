// Zipcode sets: a 35-track 1541 disk sent as four files, 1!NAME.z64 to
// 4!NAME.z64, each holding a run of tracks sector by sector, some of them
// packed.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/disk_format.h"
#include "readers/disk_walk.h"
#include "readers/input_file.h"

namespace zumtal {

inline constexpr int kZipcodeFiles = 4;
inline constexpr int kZipcodeTracks = 35;

struct ZipcodeTrackRange {
  int first;
  int last;
};

// The tracks of part 1 to 4: 1-8, 9-16, 17-25, 26-35.
constexpr ZipcodeTrackRange ZipcodeTracks(int part) {
  constexpr ZipcodeTrackRange kRanges[kZipcodeFiles] = {{1, 8}, {9, 16}, {17, 25}, {26, 35}};
  return kRanges[part - 1];
}

// The part (1 to 4) that a file's name, without its folders, makes it:
// a digit 1 to 4, '!', anything, then ".z64" in any case. 0 when the name
// is not a part's.
int ZipcodeFileNumber(std::string_view name);

// The name of part `part` of the set that part file `name` belongs to: the
// same name with the part's digit first.
std::string ZipcodeSiblingName(std::string_view name, int part);

struct ZipcodeFileResult {
  bool damaged;
  // When damaged: the offset in the file of the record that breaks the
  // rules, or that the end of the file cuts (0 for the file's header).
  std::uint64_t damagedAt;
};

// The disk that a set's parts make, laid out as kD64Format lays out a
// 35-track image; a sector is present once a good part has given it.
class ZipcodeDisk {
 public:
  ZipcodeDisk();

  // Decodes part `part` (1 to 4) of the set. The file holds a 2-byte load
  // address (part 1 then the 2-byte disk id), then each of the part's
  // tracks in turn: each of the track's sectors once, in any order, as a
  // record of a track byte (bits 0-5 the track, bit 7 packed, bit 6
  // filled), the sector number, then 256 plain bytes, or one byte 256
  // times, or a length L, an escape E and L bytes in which E, a count and
  // a byte stand for that many of the byte. Bytes after the last track are
  // not read. A record that breaks a rule, bits 6 and 7 both set or a file
  // that ends before the last track is whole included, damages the part:
  // none of its tracks is present then, whatever the records before gave.
  // A part given again replaces what it gave before.
  ZipcodeFileResult AddFile(InputFile& file, int part);

  // The plain image that the positions below point into.
  std::span<const std::uint8_t> Image() const { return image_; }

  bool Present(int track, int sector) const {
    return track >= 1 && track <= kZipcodeTracks && sector >= 0 && sector < 32 &&
           (present_[static_cast<std::size_t>(track)] >> sector & 1) != 0;
  }

  // kFound with its place, or kNotOnDisk: a track past 35, a sector number past
  // its track's count, or a sector of a part missing or damaged.
  SectorPlace Locate(std::uint8_t track, std::uint8_t sector) const {
    if (!Present(track, sector)) {
      return {SectorState::kNotOnDisk, 0};
    }
    return {SectorState::kFound, kD64Format.Position(track, sector)};
  }

 private:
  bool Decode(InputFile& file, int part, std::uint64_t& at);

  std::vector<std::uint8_t> image_;
  std::array<std::uint32_t, kZipcodeTracks + 1> present_{};  // one bit per sector, by track
};

}  // namespace zumtal
