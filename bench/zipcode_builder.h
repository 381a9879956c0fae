// A builder of Zipcode sets (four .z64 files holding a 35-track disk) from
// D64 sectors: each sector stored plain, filled or packed, whichever is
// shortest, the sectors of each track in a shuffled order.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "builders.h"

namespace zumtal::testing {

// One sector's record: the track byte (track, bit 7 packed, bit 6 filled),
// the sector number, then what follows as written.
struct ZipcodeRecord {
  std::uint8_t trackByte;
  std::uint8_t sector;
  Bytes body;
};

class ZipcodeBuilder {
 public:
  static constexpr std::uint8_t kFilled = 0x40;
  static constexpr std::uint8_t kPacked = 0x80;

  // The first 35 tracks of a D64 image; `seed` picks each track's order.
  explicit ZipcodeBuilder(const Bytes& d64, std::uint32_t seed = 1) {
    id_ = {d64[kD64Format.trackOffset[18] + 162], d64[kD64Format.trackOffset[18] + 163]};
    for (int part = 1; part <= 4; ++part) {
      for (int t = First(part); t <= Last(part); ++t) {
        std::vector<int> order(kD64Format.sectorsPerTrack[static_cast<std::size_t>(t)]);
        for (std::size_t i = 0; i < order.size(); ++i) {
          seed = seed * 1103515245u + 12345u;
          const std::size_t j = (seed >> 16) % (i + 1);
          order[i] = order[j];
          order[j] = static_cast<int>(i);
        }
        for (const int s : order) {
          const std::uint8_t* at = d64.data() + kD64Format.Position(t, s);
          Records(part).push_back(Encode(t, s, Bytes(at, at + 256)));
        }
      }
    }
  }

  static int First(int part) { return part == 1 ? 1 : part == 2 ? 9 : part == 3 ? 17 : 26; }
  static int Last(int part) { return part == 4 ? 35 : First(part + 1) - 1; }

  // A part's records in file order.
  std::vector<ZipcodeRecord>& Records(int part) { return parts_[static_cast<std::size_t>(part - 1)]; }
  // The first record of a sector in a part.
  ZipcodeRecord& Record(int part, int track, int sector) {
    for (ZipcodeRecord& record : Records(part)) {
      if ((record.trackByte & 0x3F) == track && record.sector == sector) {
        return record;
      }
    }
    return Records(part).front();
  }

  // The load address ($03FE for part 1, its disk id after it; $0400 for
  // the others), then the records.
  Bytes Build(int part) const {
    Bytes bytes = part == 1 ? Bytes{0xFE, 0x03, id_[0], id_[1]} : Bytes{0x00, 0x04};
    for (const ZipcodeRecord& record : parts_[static_cast<std::size_t>(part - 1)]) {
      bytes.push_back(record.trackByte);
      bytes.push_back(record.sector);
      bytes.insert(bytes.end(), record.body.begin(), record.body.end());
    }
    return bytes;
  }

  static ZipcodeRecord Plain(int track, int sector, const Bytes& data) {
    return {static_cast<std::uint8_t>(track), static_cast<std::uint8_t>(sector), data};
  }
  static ZipcodeRecord Filled(int track, int sector, std::uint8_t byte) {
    return {static_cast<std::uint8_t>(track | kFilled), static_cast<std::uint8_t>(sector), {byte}};
  }
  // Packed bytes as given, with their length and escape in front.
  static ZipcodeRecord Packed(int track, int sector, std::uint8_t escape, const Bytes& packed) {
    Bytes body{static_cast<std::uint8_t>(packed.size()), escape};
    body.insert(body.end(), packed.begin(), packed.end());
    return {static_cast<std::uint8_t>(track | kPacked), static_cast<std::uint8_t>(sector), body};
  }
  // Runs of 4 or more, and every escape byte, as escape, count, byte; the
  // escape is the least used byte of the sector.
  static Bytes Pack(const Bytes& data, std::uint8_t escape) {
    Bytes packed;
    for (std::size_t at = 0; at < data.size();) {
      std::size_t run = 1;
      while (at + run < data.size() && run < 255 && data[at + run] == data[at]) {
        ++run;
      }
      if (run >= 4 || data[at] == escape) {
        packed.insert(packed.end(), {escape, static_cast<std::uint8_t>(run), data[at]});
      } else {
        packed.insert(packed.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                      data.begin() + static_cast<std::ptrdiff_t>(at + run));
      }
      at += run;
    }
    return packed;
  }
  static std::uint8_t LeastUsed(const Bytes& data) {
    std::array<int, 256> counts{};
    for (const std::uint8_t byte : data) {
      ++counts[byte];
    }
    return static_cast<std::uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
  }
  static ZipcodeRecord Encode(int track, int sector, const Bytes& data) {
    if (std::all_of(data.begin(), data.end(), [&data](std::uint8_t byte) { return byte == data[0]; })) {
      return Filled(track, sector, data[0]);
    }
    const std::uint8_t escape = LeastUsed(data);
    const Bytes packed = Pack(data, escape);
    return packed.size() < 256 ? Packed(track, sector, escape, packed) : Plain(track, sector, data);
  }

 private:
  std::array<std::vector<ZipcodeRecord>, 4> parts_;
  std::array<std::uint8_t, 2> id_{};
};

}  // namespace zumtal::testing
