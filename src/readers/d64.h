// Geometry of a D64 disk image: 256-byte sectors, track after track.
#pragma once

#include <array>
#include <cstdint>

namespace zumtal {

inline constexpr int kMaxTrack = 40;
inline constexpr std::uint64_t kSectorSize = 256;

// Sectors of a track: 21, 19, 18 or 17 by zone.
constexpr int SectorsPerTrack(int track) { return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17; }

// TrackOffset[t]: the file position of sector 0 of track t, for t = 1 to 40
// (entry 0 is unused).
inline constexpr std::array<std::uint32_t, kMaxTrack + 1> TrackOffset = [] {
  std::array<std::uint32_t, kMaxTrack + 1> table{};
  std::uint32_t offset = 0;
  for (int track = 1; track <= kMaxTrack; ++track) {
    table[static_cast<std::size_t>(track)] = offset;
    offset += static_cast<std::uint32_t>(SectorsPerTrack(track)) * 256;
  }
  return table;
}();

static_assert(TrackOffset[2] == 5376 && TrackOffset[18] == 91392 && TrackOffset[25] == 125440);
static_assert(TrackOffset[31] == 153088 && TrackOffset[36] == 174848 && TrackOffset[40] == 192256);

}  // namespace zumtal
