// A builder of G64 disk images (GCR bit streams, track by track) from D64
// sectors, with the damage and the oddities that real dumps show: copies of
// a sector, bad checksums, invalid codes, blocks at any bit and across the
// end of a track, half tracks, absent tracks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "builders.h"

namespace zumtal::testing {

// One copy of a sector on a track, as written: sync, header block, gap,
// sync, data block, gap.
struct GcrCopy {
  int sector = 0;
  int track = 1;  // the track that the header names
  Bytes data = Bytes(256, 0);
  bool badHeaderSum = false;
  bool badDataSum = false;
  std::size_t zeroAt = 0;  // a data block byte (1 to 324) set to 0: an invalid 5-bit code
};

// Appends bits, the first one highest in each byte.
class BitWriter {
 public:
  void Put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (count_ % 8 == 0) {
        bytes_.push_back(0);
      }
      if ((value >> i & 1) != 0) {
        bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | 0x80 >> (count_ % 8));
      }
      ++count_;
    }
  }
  void PutRaw(std::uint8_t byte, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      Put(byte, 8);
    }
  }
  // Each byte as two 5-bit codes, high nibble first.
  void PutGcr(const Bytes& bytes) {
    static constexpr std::uint8_t kCodes[16] = {0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17,
                                                0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};
    for (const std::uint8_t byte : bytes) {
      Put(kCodes[byte >> 4], 5);
      Put(kCodes[byte & 15], 5);
    }
  }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
  std::size_t count_ = 0;
};

// The bytes of a copy's stream before its data block, and the data block's.
inline constexpr std::size_t kGcrDataStart = 5 + 10 + 9 + 5;
inline constexpr std::size_t kGcrCopyBytes = kGcrDataStart + 325 + 8;

// A track's stream: its copies in order, gap bytes up to `length` bytes,
// then the whole ring turned `rotate` bits later (the last bits come first).
inline Bytes GcrTrackStream(const std::vector<GcrCopy>& copies, std::size_t length = 0, std::size_t rotate = 0,
                            std::uint8_t id1 = 'Z', std::uint8_t id2 = 'T') {
  BitWriter out;
  for (const GcrCopy& copy : copies) {
    const auto sector = static_cast<std::uint8_t>(copy.sector);
    const auto track = static_cast<std::uint8_t>(copy.track);
    const auto headerSum = static_cast<std::uint8_t>((sector ^ track ^ id1 ^ id2) ^ (copy.badHeaderSum ? 0x40 : 0));
    out.PutRaw(0xFF, 5);
    out.PutGcr({0x08, headerSum, sector, track, id2, id1, 0x0F, 0x0F});
    out.PutRaw(0x55, 9);
    out.PutRaw(0xFF, 5);
    Bytes block{0x07};
    std::uint8_t sum = copy.badDataSum ? 0x01 : 0x00;
    for (const std::uint8_t byte : copy.data) {
      block.push_back(byte);
      sum ^= byte;
    }
    block.insert(block.end(), {sum, 0x00, 0x00});
    BitWriter data;
    data.PutGcr(block);
    if (copy.zeroAt != 0) {
      data.bytes()[copy.zeroAt] = 0x00;
    }
    out.bytes().insert(out.bytes().end(), data.bytes().begin(), data.bytes().end());
    out.PutRaw(0x55, 8);
  }
  Bytes stream = out.bytes();
  if (stream.size() < length) {
    stream.resize(length, 0x55);
  }
  const std::size_t bits = 8 * stream.size();
  if (bits == 0 || rotate % bits == 0) {
    return stream;
  }
  Bytes turned(stream.size(), 0);
  for (std::size_t i = 0; i < bits; ++i) {
    if ((stream[i / 8] >> (7 - i % 8) & 1) != 0) {
      const std::size_t to = (i + rotate) % bits;
      turned[to / 8] = static_cast<std::uint8_t>(turned[to / 8] | 0x80 >> (to % 8));
    }
  }
  return turned;
}

class G64Builder {
 public:
  using SectorBytes = std::function<Bytes(int track, int sector)>;

  // Tracks 1 to `tracks`, each holding one good copy of each of its sectors
  // in order.
  G64Builder(int tracks, const SectorBytes& sectorBytes) {
    for (int t = 1; t <= tracks; ++t) {
      for (int s = 0; s < kG64Format.sectorsPerTrack[static_cast<std::size_t>(t)]; ++s) {
        Copies(t).push_back({s, t, sectorBytes(t, s)});
      }
    }
  }
  // The sectors of a D64 image (35 or 40 tracks); tracks past the image's,
  // up to `tracks`, hold zeros.
  explicit G64Builder(const Bytes& d64, int tracks = 0)
      : G64Builder(tracks != 0 ? tracks : ImageTracks(d64), [&d64](int t, int s) {
          if (t > ImageTracks(d64)) {
            return Bytes(256, 0);
          }
          const std::uint8_t* at =
              d64.data() + kD64Format.trackOffset[static_cast<std::size_t>(t)] + 256 * std::size_t(s);
          return Bytes(at, at + 256);
        }) {
    id1_ = d64[kD64Format.trackOffset[18] + 162];
    id2_ = d64[kD64Format.trackOffset[18] + 163];
  }

  // The copies on a track, in the order the stream holds them.
  std::vector<GcrCopy>& Copies(int track) { return tracks_[static_cast<std::size_t>(track)].copies; }
  // The first copy of a sector on a track.
  GcrCopy& Copy(int track, int sector) {
    for (GcrCopy& copy : Copies(track)) {
      if (copy.sector == sector) {
        return copy;
      }
    }
    return Copies(track).front();
  }
  // Puts a copy with a bad data checksum before the good one.
  void DamagedCopyFirst(int track, int sector) {
    auto& copies = Copies(track);
    for (std::size_t i = 0; i < copies.size(); ++i) {
      if (copies[i].sector == sector) {
        GcrCopy damaged = copies[i];
        damaged.badDataSum = true;
        damaged.data[7] ^= 0xFF;
        copies.insert(copies.begin() + static_cast<std::ptrdiff_t>(i), damaged);
        return;
      }
    }
  }

  // Every track's stream turned `bits` later: blocks at another bit offset.
  void RotateAll(std::size_t bits) {
    for (Track& track : tracks_) {
      track.rotate = bits;
    }
  }
  void Rotate(int track, std::size_t bits) { tracks_[static_cast<std::size_t>(track)].rotate = bits; }
  // Turns a track so that the middle of the first copy's data block of a
  // sector lies at the end of the stream, 3 bits off a byte boundary.
  void WrapDataBlock(int track, int sector) {
    const auto& copies = Copies(track);
    std::size_t index = 0;
    while (index + 1 < copies.size() && copies[index].sector != sector) {
      ++index;
    }
    const std::size_t middle = 8 * (index * kGcrCopyBytes + kGcrDataStart + 160) + 3;
    const std::size_t bits = 8 * std::max(copies.size() * kGcrCopyBytes, NominalLength(track));
    Rotate(track, bits - middle);
  }
  void SetAbsent(int track) { tracks_[static_cast<std::size_t>(track)].absent = true; }
  // The entry of `track` (its length word) starts at byte `offset` of the
  // file or, if the tracks before it end later, right after them.
  void SetOffset(int track, std::size_t offset) { tracks_[static_cast<std::size_t>(track)].offset = offset; }
  // Half-track entries that hold a copy of the track before them with every
  // data byte inverted: a reader must ignore them.
  void SetHalfTracks(bool present) { halfTracks_ = present; }

  Bytes TrackStream(int track) const {
    const Track& entry = tracks_[static_cast<std::size_t>(track)];
    return GcrTrackStream(entry.copies, NominalLength(track), entry.rotate, id1_, id2_);
  }

  Bytes Build() const {
    std::vector<Bytes> entries(84);
    for (int t = 1; t <= 42; ++t) {
      const Track& entry = tracks_[static_cast<std::size_t>(t)];
      if (entry.copies.empty() || entry.absent) {
        continue;
      }
      entries[static_cast<std::size_t>(2 * (t - 1))] = TrackStream(t);
      if (halfTracks_) {
        std::vector<GcrCopy> junk = entry.copies;
        for (GcrCopy& copy : junk) {
          for (std::uint8_t& byte : copy.data) {
            byte = static_cast<std::uint8_t>(~byte);
          }
        }
        entries[static_cast<std::size_t>(2 * t - 1)] = GcrTrackStream(junk, NominalLength(t), 0, id1_, id2_);
      }
    }
    std::size_t maxLength = 7928;
    for (const Bytes& stream : entries) {
      maxLength = std::max(maxLength, stream.size());
    }
    Bytes image(12 + 8 * 84, 0);
    std::memcpy(image.data(), "GCR-1541", 8);
    image[9] = 84;
    image[10] = static_cast<std::uint8_t>(maxLength);
    image[11] = static_cast<std::uint8_t>(maxLength >> 8);
    for (std::size_t e = 0; e < 84; ++e) {
      if (entries[e].empty()) {
        continue;
      }
      const int track = static_cast<int>(e / 2 + 1);
      if (e % 2 == 0) {
        image.resize(std::max(image.size(), tracks_[static_cast<std::size_t>(track)].offset), 0);
      }
      Put32(image, 12 + 4 * e, image.size());
      Put32(image, 12 + 4 * 84 + 4 * e, track <= 17 ? 3 : track <= 24 ? 2 : track <= 30 ? 1 : 0);
      image.push_back(static_cast<std::uint8_t>(entries[e].size()));
      image.push_back(static_cast<std::uint8_t>(entries[e].size() >> 8));
      image.insert(image.end(), entries[e].begin(), entries[e].end());
      image.resize(image.size() + maxLength - entries[e].size(), 0);
    }
    return image;
  }

  static int ImageTracks(const Bytes& d64) { return d64.size() >= kD64Format.ImageSize(40) ? 40 : 35; }

  // The length of a track as the drive writes it in its speed zone.
  static std::size_t NominalLength(int track) {
    return track <= 17 ? 7692 : track <= 24 ? 7142 : track <= 30 ? 6666 : 6250;
  }

 private:
  struct Track {
    std::vector<GcrCopy> copies;
    std::size_t rotate = 0;
    bool absent = false;
    std::size_t offset = 0;
  };

  static void Put32(Bytes& image, std::size_t at, std::size_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
      image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  }

  std::vector<Track> tracks_ = std::vector<Track>(43);
  bool halfTracks_ = false;
  std::uint8_t id1_ = 'Z';
  std::uint8_t id2_ = 'T';
};

}  // namespace zumtal::testing
