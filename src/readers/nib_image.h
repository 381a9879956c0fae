// NIB disk dumps: a 1541 disk as the drive read it, track by track. The
// header holds a signature and a table of the half tracks dumped; each
// entry's 8,192 bytes are the raw GCR stream of that half track, starting
// anywhere and running past one revolution.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "readers/disk_format.h"
#include "readers/disk_walk.h"
#include "readers/input_file.h"

namespace zumtal {

// The size of a NIB's header and of each track's data.
inline constexpr std::uint64_t kNibHeaderSize = 256;
inline constexpr std::uint64_t kNibTrackSize = 8192;
// The most half tracks a 1541 dump holds, and the largest NIB file.
inline constexpr std::uint64_t kNibMostTracks = 84;
inline constexpr std::uint64_t kNibLargest = kNibHeaderSize + kNibMostTracks * kNibTrackSize;

// Whether the file begins with the NIB signature. Other machines' disk
// dumps use the same extension.
bool HasNibSignature(InputFile& file);

// The sectors of a NIB file that has the signature, laid out as kG64Format
// lays them out (tracks 1 to 42). Each track is decoded the first time one
// of its sectors is asked for, so only the tracks the walk touches are ever
// read, each at most once. The file must outlive the object.
class NibImage {
 public:
  // Reads the track table: from byte 16, pairs of (half track, density)
  // up to a half track of 0 or the end of the header. Half track 2t is
  // track t; odd half tracks lie between tracks and are passed over; the
  // first entry of a track counts. Entry i's data is the 8,192 bytes at
  // 256 + 8,192 i, and a track whose data is not wholly in the file is
  // absent. A file cut inside the table keeps the entries before the cut.
  explicit NibImage(InputFile& file);

  // The plain image that the positions below point into.
  std::span<const std::uint8_t> Image() const { return image_; }

  // Where sector (track, sector) is, decoding its track first if needed.
  // Its first copy whose header and data checksums hold counts; the stream
  // is not read as a ring, so a block cut by the end of the data is lost.
  SectorPlace Locate(std::uint8_t track, std::uint8_t sector);

  // Whether the table names the track with its data wholly in the file.
  bool HasTrack(int track) const { return track >= 1 && track <= kG64Format.lastTrack && dataAt_[Index(track)] != 0; }

 private:
  static std::size_t Index(int track) { return static_cast<std::size_t>(track); }
  void Decode(std::uint8_t track);

  InputFile& file_;
  std::vector<std::uint8_t> image_;
  std::vector<std::uint8_t> stream_;
  std::array<std::uint64_t, kG64Format.lastTrack + 1> dataAt_{};  // where each track's data starts; 0 for none
  std::array<bool, kG64Format.lastTrack + 1> decoded_{};
  std::array<std::uint32_t, kG64Format.lastTrack + 1> good_{};  // one bit per sector with a good copy
};

}  // namespace zumtal
