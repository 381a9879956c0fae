// The sectors of one GCR-encoded disk track, as a G64 image stores it: the
// drive's bit stream, read as a ring.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zumtal {

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
  friend GcrTrack DecodeGcrTrack(const std::uint8_t* stream, std::size_t length, int track);

  std::array<std::uint16_t, 256> slot_{};  // 1 + the sector's place in bytes_; 0 for none
  std::vector<std::uint8_t> bytes_;        // 256 bytes per good sector, at most 64 KiB
};

// Decodes the bit stream of track `track` (`length` bytes, first bit = the
// high bit of the first byte). A block begins right after a sync (10 or more
// 1 bits) at any bit position and may run past the end of the stream back to
// its start. Sector s is the data block after the first header block, by the
// bit at which it starts, that names this track and sector s and whose header
// checksum and data checksum both hold; the data block is the one that
// begins after the next sync. Only the bytes the checksums cover are
// decoded: a header's two filler bytes and a data block's two closing bytes
// are not looked at. Time is linear in `length`, memory at most
// `length` + 64 KiB plus a little, whatever the stream holds.
GcrTrack DecodeGcrTrack(const std::uint8_t* stream, std::size_t length, int track);

}  // namespace zumtal
