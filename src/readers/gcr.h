// The sectors of one GCR-encoded disk track: the drive's bit stream, either
// as a G64 image stores it (one revolution, read as a ring) or as a NIB dump
// holds it (what the drive read, from anywhere, not joined end to start).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zumtal {

// How a track's stream is kept: one revolution joined end to start, or a
// line that starts and ends wherever the drive started and stopped reading.
enum class GcrStream { kRing, kLine };

// The good sectors of one track, by sector number (0 to 255).
class GcrTrack {
 public:
  // The 256 bytes of the sector, or nullptr when the track holds no copy of
  // it whose header and data checksums both hold.
  const std::uint8_t* Sector(std::uint8_t sector) const {
    return slot_[sector] == 0 ? nullptr : bytes_.data() + 256 * std::size_t{slot_[sector] - 1u};
  }
  // How many sector numbers have a good copy.
  std::size_t Count() const { return bytes_.size() / 256; }

 private:
  friend GcrTrack DecodeGcrTrack(const std::uint8_t* stream, std::size_t length, int track, GcrStream kind);

  std::array<std::uint16_t, 256> slot_{};  // 1 + the sector's place in bytes_; 0 for none
  std::vector<std::uint8_t> bytes_;        // 256 bytes per good sector, at most 64 KiB
};

// Decodes the bit stream of track `track` (`length` bytes, first bit = the
// high bit of the first byte). A block begins right after a sync (10 or more
// 1 bits) at any bit position. In a ring, a sync and a block may run past the
// end of the stream back to its start, and the last header's data block is
// the one after the first sync. In a line, nothing lies before the first bit
// or after the last: a block counts only when the bits its checksum covers
// all lie in the stream, and a header with no sync after it has no data
// block. Sector s is the data block after the first header block, by the
// bit at which it starts, that names this track and sector s and whose header
// checksum and data checksum both hold; the data block is the one that
// begins after the next sync. Only the bytes the checksums cover are
// decoded: a header's two filler bytes and a data block's two closing bytes
// are not looked at. Time is linear in `length`, memory at most
// `length` + 64 KiB plus a little, whatever the stream holds.
GcrTrack DecodeGcrTrack(const std::uint8_t* stream, std::size_t length, int track, GcrStream kind = GcrStream::kRing);

}  // namespace zumtal
