// The Commodore disk images of one family: 256-byte sectors stored track
// after track, a header sector holding the disk name, and a directory of
// 32-byte entries in linked sectors. The formats differ only in the values
// of this table.
#pragma once

#include <array>
#include <cstdint>

namespace zumtal {

inline constexpr std::uint64_t kSectorSize = 256;
// The most tracks of any format in the table.
inline constexpr int kMostTracks = 80;

struct DiskFormat {
  // Tracks run from 1 to lastTrack; an ordinary image holds the first
  // `usualTracks` of them.
  int lastTrack;
  int usualTracks;
  // Sectors of each track, by track number (entry 0 unused).
  std::array<std::uint8_t, kMostTracks + 2> sectorsPerTrack;
  // The position of sector 0 of each track in a plain image; entry t + 1 is
  // the size of an image of t tracks without error bytes.
  std::array<std::uint32_t, kMostTracks + 2> trackOffset;
  std::uint8_t headerTrack;
  std::uint8_t headerSector;
  // The 16-byte disk name's place in the header sector.
  std::uint8_t diskNameOffset;
  std::uint8_t directoryTrack;
  std::uint8_t directorySector;

  // Where sector (track, sector) lies in a plain image, for a track from 1
  // to lastTrack; a sector number past its track's count names a place
  // further on, as the drive's own arithmetic would.
  constexpr std::uint64_t Position(int track, int sector) const {
    return trackOffset[static_cast<std::size_t>(track)] + kSectorSize * static_cast<std::uint64_t>(sector);
  }
  // How many sector places Position can name: every position lies below
  // kSectorSize times this.
  constexpr std::size_t SectorPlaces() const {
    return static_cast<std::size_t>(trackOffset[static_cast<std::size_t>(lastTrack)] / kSectorSize) + 256;
  }
  constexpr std::uint64_t ImageSize(int tracks) const { return trackOffset[static_cast<std::size_t>(tracks) + 1]; }
};

namespace disk_format_detail {

// A 1541 track's sectors: 21, 19, 18 or 17 by zone.
constexpr int ZoneSectors(int track) { return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17; }

struct Header {
  std::uint8_t track, sector, nameOffset;
};
struct Directory {
  std::uint8_t track, sector;
};

constexpr DiskFormat Make(int lastTrack, int usualTracks, int (*sectors)(int), Header header, Directory directory) {
  DiskFormat format{lastTrack,       usualTracks,     {}, {}, header.track, header.sector, header.nameOffset,
                    directory.track, directory.sector};
  std::uint32_t offset = 0;
  for (int track = 1; track <= lastTrack; ++track) {
    format.sectorsPerTrack[static_cast<std::size_t>(track)] = static_cast<std::uint8_t>(sectors(track));
    format.trackOffset[static_cast<std::size_t>(track)] = offset;
    offset += static_cast<std::uint32_t>(sectors(track)) * 256;
  }
  format.trackOffset[static_cast<std::size_t>(lastTrack) + 1] = offset;
  return format;
}

}  // namespace disk_format_detail

// 1541: 35 tracks, or 40 on extended images.
inline constexpr DiskFormat kD64Format =
    disk_format_detail::Make(40, 35, disk_format_detail::ZoneSectors, {18, 0, 144}, {18, 1});
// A 1541 disk as a G64 image stores it: tracks up to 42, those past 35 in
// the last zone. There is no plain image of it: the table lays out the
// sectors decoded from the tracks' bit streams.
inline constexpr DiskFormat kG64Format =
    disk_format_detail::Make(42, 35, disk_format_detail::ZoneSectors, {18, 0, 144}, {18, 1});
// 1571: two 1541 sides, the second as tracks 36 to 70.
inline constexpr DiskFormat kD71Format = disk_format_detail::Make(
    70, 70, [](int track) { return disk_format_detail::ZoneSectors((track - 1) % 35 + 1); }, {18, 0, 144}, {18, 1});
// 1581: 80 tracks of 40 sectors.
inline constexpr DiskFormat kD81Format = disk_format_detail::Make(80, 80, [](int) { return 40; }, {40, 0, 4}, {40, 3});

static_assert(kD64Format.Position(2, 0) == 5376 && kD64Format.Position(18, 0) == 91392);
static_assert(kD64Format.Position(25, 0) == 125440 && kD64Format.Position(31, 0) == 153088);
static_assert(kD64Format.ImageSize(35) == 174848 && kD64Format.ImageSize(40) == 196608);
static_assert(kD64Format.SectorPlaces() == 1007);
static_assert(kG64Format.Position(35, 0) == kD64Format.Position(35, 0) && kG64Format.ImageSize(42) == 205312);
static_assert(kD71Format.Position(36, 0) == 174848 && kD71Format.ImageSize(70) == 349696);
static_assert(kD81Format.Position(40, 3) == 256 * (39 * 40 + 3) && kD81Format.ImageSize(80) == 819200);

}  // namespace zumtal
