// Builders of NIB disk dumps (each track's raw GCR stream as a drive reads
// it: from anywhere, off byte boundaries, a little more than a revolution)
// and of NBZ files, their LZ77-compressed form, from D64 sectors.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "builders.h"
#include "g64_builder.h"

namespace zumtal::testing {

inline constexpr std::size_t kNibTrackBytes = 8192;

// One entry of a NIB's track table, and its data.
struct NibEntry {
  std::uint8_t halfTrack;
  std::uint8_t density;
  Bytes data;  // cut or padded with zeros to 8,192 bytes
};

class NibBuilder {
 public:
  // The sectors of a D64 image, one good copy each, in order on each track;
  // tracks past the image's, up to `tracks`, hold zeros. Track t's data
  // starts inside its first copy's data block, 1 to 7 bits off a byte
  // boundary, and runs one revolution and some 500 bytes more, so each
  // sector has a whole copy somewhere in it.
  explicit NibBuilder(const Bytes& d64, int tracks = 0) : sectors_(d64, tracks) {
    id1_ = d64[kD64Format.trackOffset[18] + 162];
    id2_ = d64[kD64Format.trackOffset[18] + 163];
    const int last = tracks != 0 ? tracks : G64Builder::ImageTracks(d64);
    for (int t = 1; t <= last; ++t) {
      Track& track = tracks_[static_cast<std::size_t>(t)];
      track.present = true;
      track.ringBytes = G64Builder::NominalLength(t);
      track.start = 8 * (kGcrDataStart + 100) + static_cast<std::size_t>(t % 7) + 1;
    }
  }

  // The copies on each track, as a G64 builder keeps them.
  G64Builder& Sectors() { return sectors_; }

  // The track's ring: `ringBytes` long, read from its bit `start` on.
  void SetRing(int track, std::size_t ringBytes, std::size_t start) {
    tracks_[static_cast<std::size_t>(track)].ringBytes = ringBytes;
    tracks_[static_cast<std::size_t>(track)].start = start;
  }
  // Exactly one revolution, cut in the middle of the data block of the
  // first copy of `sector`, 3 bits off a byte boundary: the block's second
  // half is at the start of the data, its first half at the end.
  void CutDataBlock(int track, int sector) {
    const auto& copies = sectors_.Copies(track);
    std::size_t index = 0;
    while (index + 1 < copies.size() && copies[index].sector != sector) {
      ++index;
    }
    SetRing(track, kNibTrackBytes, 8 * (index * kGcrCopyBytes + kGcrDataStart + 160) + 3);
  }
  void SetAbsent(int track) { tracks_[static_cast<std::size_t>(track)].present = false; }
  // An odd half-track entry before each track's, holding the track's
  // sectors with every data byte inverted: a reader must pass over them.
  void SetHalfTracks(bool present) { halfTracks_ = present; }

  // The 8,192 bytes of a track's data.
  Bytes TrackData(int track) const {
    const Track& entry = tracks_[static_cast<std::size_t>(track)];
    return Read(Ring(sectors_.Copies(track), entry.ringBytes), entry.start);
  }

  // The table in half-track order.
  std::vector<NibEntry> Entries() const {
    std::vector<NibEntry> entries;
    for (int t = 1; t <= 42; ++t) {
      const Track& entry = tracks_[static_cast<std::size_t>(t)];
      if (!entry.present) {
        continue;
      }
      const auto density = static_cast<std::uint8_t>(t <= 17 ? 3 : t <= 24 ? 2 : t <= 30 ? 1 : 0);
      if (halfTracks_) {
        std::vector<GcrCopy> junk = sectors_.Copies(t);
        for (GcrCopy& copy : junk) {
          std::transform(copy.data.begin(), copy.data.end(), copy.data.begin(),
                         [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
        }
        entries.push_back({static_cast<std::uint8_t>(2 * t - 1), density, Read(Ring(junk, entry.ringBytes), 0)});
      }
      entries.push_back({static_cast<std::uint8_t>(2 * t), density, TrackData(t)});
    }
    return entries;
  }

  // The signature, version 3, the table (at most 120 entries; a half track
  // of 0 ends it when shorter), then each entry's data.
  static Bytes Assemble(const std::vector<NibEntry>& entries) {
    Bytes nib(256, 0);
    std::memcpy(nib.data(), "MNIB-1541-RAW", 13);
    nib[13] = 3;
    for (std::size_t i = 0; i < std::min<std::size_t>(entries.size(), 120); ++i) {
      nib[16 + 2 * i] = entries[i].halfTrack;
      nib[17 + 2 * i] = entries[i].density;
      Bytes data = entries[i].data;
      data.resize(kNibTrackBytes, 0);
      nib.insert(nib.end(), data.begin(), data.end());
    }
    return nib;
  }

  Bytes Build() const { return Assemble(Entries()); }

 private:
  struct Track {
    bool present = false;
    std::size_t ringBytes = 0;
    std::size_t start = 0;
  };

  Bytes Ring(const std::vector<GcrCopy>& copies, std::size_t ringBytes) const {
    return GcrTrackStream(copies, ringBytes, 0, id1_, id2_);
  }
  // 8,192 bytes of the ring read round and round from bit `start`.
  static Bytes Read(const Bytes& ring, std::size_t start) {
    Bytes data(kNibTrackBytes, 0);
    const std::size_t shift = start % 8;
    for (std::size_t i = 0; i < data.size() && !ring.empty(); ++i) {
      const std::size_t at = (start / 8 + i) % ring.size();
      const unsigned pair = static_cast<unsigned>(ring[at] << 8 | ring[(at + 1) % ring.size()]);
      data[i] = static_cast<std::uint8_t>(pair >> (8 - shift));
    }
    return data;
  }

  // Only read in the const members; the G64 builder lends its copies
  // through a non-const accessor alone.
  mutable G64Builder sectors_;
  std::array<Track, 43> tracks_{};
  bool halfTracks_ = false;
  std::uint8_t id1_ = 'Z';
  std::uint8_t id2_ = 'T';
};

// A variable-length number as an NBZ file holds it: 7 bits a byte, the most
// significant group first, bit 7 set on all but the last byte.
inline Bytes NbzNumber(std::uint64_t value) {
  Bytes bytes{static_cast<std::uint8_t>(value & 0x7F)};
  for (value >>= 7; value != 0; value >>= 7) {
    bytes.insert(bytes.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
  }
  return bytes;
}

// A greedy LZ77 coder with a one-entry hash table: copies of 4 bytes or
// more, from any distance, overlapping ones included. The marker is the
// least used byte unless given.
inline Bytes NbzCompress(const Bytes& data, int marker = -1) {
  if (marker < 0) {
    std::array<std::size_t, 256> counts{};
    for (const std::uint8_t byte : data) {
      ++counts[byte];
    }
    marker = static_cast<int>(std::min_element(counts.begin(), counts.end()) - counts.begin());
  }
  const auto escape = static_cast<std::uint8_t>(marker);
  constexpr std::size_t kMinimum = 4;
  std::vector<std::size_t> last(1 << 16, SIZE_MAX);
  const auto hash = [&data](std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, data.data() + at, 4);
    return (value * 2654435761u) >> 16;
  };
  Bytes out{escape};
  for (std::size_t at = 0; at < data.size();) {
    std::size_t length = 0;
    std::size_t from = 0;
    if (data.size() - at >= kMinimum) {
      from = last[hash(at)];
      last[hash(at)] = at;
      while (from != SIZE_MAX && at + length < data.size() && data[from + length] == data[at + length]) {
        ++length;
      }
    }
    if (length < kMinimum) {
      out.push_back(data[at]);
      if (data[at] == escape) {
        out.push_back(0);
      }
      ++at;
      continue;
    }
    out.push_back(escape);
    for (const Bytes& number : {NbzNumber(length), NbzNumber(at - from)}) {
      out.insert(out.end(), number.begin(), number.end());
    }
    for (const std::size_t end = at + length; at < end; ++at) {
      if (data.size() - at >= kMinimum) {
        last[hash(at)] = at;
      }
    }
  }
  return out;
}

}  // namespace zumtal::testing
