#include <gtest/gtest.h>

#include <functional>

#include "g64_builder.h"
#include "readers/gcr.h"

namespace zumtal {
namespace {

using namespace testing;
using Copies = std::vector<GcrCopy>;

constexpr int kTrack = 5;

GcrTrack Decode(const Bytes& stream, int track = kTrack) { return DecodeGcrTrack(stream.data(), stream.size(), track); }

GcrCopy Good(int sector, std::uint32_t seed) { return {sector, kTrack, Program(0, 254, seed)}; }

GcrCopy With(GcrCopy copy, bool GcrCopy::*damage) {
  copy.*damage = true;
  return copy;
}

void Insert(Copies& copies, std::size_t at, GcrCopy copy) {
  copies.insert(copies.begin() + static_cast<std::ptrdiff_t>(at), std::move(copy));
}

// Each case edits a track of 21 good copies of its sectors in order, then
// turns it `rotate` bits (negative: counted back from the end of the
// stream). `want` names the copy (index after the edit, -1: none) that some
// sector numbers must give; any other sector gives its only copy, if any.
TEST(GcrDecoder, FirstGoodCopyByItsHeaderBit) {
  struct Case {
    std::string what;
    std::function<void(Copies&)> edit;
    std::int64_t rotate;
    std::vector<std::pair<int, int>> want;
  };
  const auto none = [](Copies&) {};
  constexpr auto data = static_cast<std::int64_t>(8 * kGcrDataStart);
  std::vector<Case> cases = {
      {"sync across the end", none, -37, {}},
      {"header across the end", none, -40 - 37, {}},
      {"data block across the end", none, -data - 1283, {}},
      {"header at the end, its data block after the wrap", none, -data + 40 + 3, {}},
      {"first copy's data checksum bad", [](Copies& c) { Insert(c, 4, With(Good(4, 99), &GcrCopy::badDataSum)); },
       0, {{4, 5}}},
      {"first copy's header checksum bad", [](Copies& c) { Insert(c, 4, With(Good(4, 99), &GcrCopy::badHeaderSum)); },
       0, {{4, 5}}},
      {"first copy holds an invalid code", [](Copies& c) { Insert(c, 4, Good(4, 99)), c[4].zeroAt = 160; }, 3,
       {{4, 5}}},
      {"invalid code after the checksum", [](Copies& c) { c[4].zeroAt = 323; }, 0, {}},
      {"two good copies: the earlier", [](Copies& c) { Insert(c, 10, Good(4, 99)); }, 0, {{4, 4}}},
      {"two good copies: the later turned to the front", [](Copies& c) { c.push_back(Good(4, 99)); },
       -static_cast<std::int64_t>(8 * (21 * kGcrCopyBytes)) + 8, {{4, 21}}},
      {"only copy damaged", [](Copies& c) { c[8].badDataSum = true; }, 0, {{8, -1}}},
      {"header names another track", [](Copies& c) { c[6].track = kTrack + 1; }, 0, {{6, -1}}},
      {"sector number past the track's", [](Copies& c) { c[7].sector = 200; }, 0, {{200, 7}}},
  };
  for (int offset = 0; offset < 8; ++offset) {
    cases.push_back({"bit offset " + std::to_string(offset), none, offset, {}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Copies copies;
    for (int s = 0; s < 21; ++s) {
      copies.push_back(Good(s, static_cast<std::uint32_t>(s + 1)));
    }
    c.edit(copies);
    const std::size_t length = std::max(copies.size() * kGcrCopyBytes, G64Builder::NominalLength(kTrack));
    const auto bits = static_cast<std::int64_t>(8 * length);
    const Bytes stream = GcrTrackStream(copies, length, static_cast<std::size_t>((c.rotate + bits) % bits));
    const GcrTrack track = Decode(stream);
    std::size_t found = 0;
    for (int s = 0; s < 256; ++s) {
      int want = -1;
      for (std::size_t i = 0; i < copies.size(); ++i) {
        want = copies[i].sector == s ? (want == -1 ? static_cast<int>(i) : -2) : want;
      }
      for (const auto& [sector, copy] : c.want) {
        want = sector == s ? copy : want;
      }
      const std::uint8_t* got = track.Sector(static_cast<std::uint8_t>(s));
      ASSERT_EQ(got != nullptr, want >= 0) << "sector " << s;
      if (got != nullptr) {
        EXPECT_EQ(Bytes(got, got + 256), copies[static_cast<std::size_t>(want)].data) << "sector " << s;
        ++found;
      }
    }
    EXPECT_EQ(track.Count(), found);
  }
}

// Streams that hold no good sector, however they are read.
TEST(GcrDecoder, NoSectorFromStreamsWithoutGoodBlocks) {
  const auto repeat = [](const Bytes& unit, std::size_t times) {
    Bytes bytes;
    for (std::size_t i = 0; i < times; ++i) {
      bytes.insert(bytes.end(), unit.begin(), unit.end());
    }
    return bytes;
  };
  const Bytes oneCopy = GcrTrackStream({Good(0, 1)});
  const Bytes headersOnly = Bytes(oneCopy.begin(), oneCopy.begin() + kGcrDataStart - 5);
  const struct {
    const char* what;
    Bytes stream;
  } cases[] = {
      {"empty", {}},
      {"one byte of 1 bits", {0xFF}},
      {"one byte of 0 bits", {0x00}},
      {"a sync that never ends", Bytes(65535, 0xFF)},
      {"all 0 bits", Bytes(7692, 0x00)},
      {"gap bytes only", Bytes(7692, 0x55)},
      {"syncs everywhere", repeat({0xFF, 0xFF, 0x00}, 21845)},
      {"headers and no data blocks", repeat(headersOnly, 2000)},
      {"half a data block", Bytes(oneCopy.begin(), oneCopy.begin() + kGcrDataStart + 160)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.stream).Count(), 0u) << c.what;
  }
}

// The image's layout: each full track's entry decodes to the D64's sectors;
// half tracks and absent tracks as asked.
TEST(G64Builder, TracksDecodeToTheD64Sectors) {
  DiskBuilder disk;
  disk.AddProgram("GAME", Program(0x0801, 30000, 3));
  G64Builder g64(disk.bytes());
  g64.SetHalfTracks(true);
  g64.SetAbsent(20);
  g64.WrapDataBlock(18, 1);
  const Bytes image = g64.Build();
  ASSERT_EQ(std::string(image.begin(), image.begin() + 10), std::string("GCR-1541\0\x54", 10));
  const auto word = [&image](std::size_t at, int bytes) {
    std::size_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
      value = value << 8 | image[at + static_cast<std::size_t>(i)];
    }
    return value;
  };
  for (int t = 1; t <= 42; ++t) {
    const std::size_t offset = word(12 + 8 * static_cast<std::size_t>(t - 1), 4);
    const std::size_t half = word(16 + 8 * static_cast<std::size_t>(t - 1), 4);
    ASSERT_EQ(offset != 0 && half != 0, t <= 35 && t != 20) << t;
    if (offset != 0) {
      const GcrTrack track = DecodeGcrTrack(image.data() + offset + 2, word(offset, 2), t);
      ASSERT_EQ(track.Count(), static_cast<std::size_t>(kD64Format.sectorsPerTrack[static_cast<std::size_t>(t)])) << t;
      for (int s = 0; s < kD64Format.sectorsPerTrack[static_cast<std::size_t>(t)]; ++s) {
        EXPECT_EQ(std::memcmp(track.Sector(static_cast<std::uint8_t>(s)), disk.At({t, s}), 256), 0) << t << "/" << s;
      }
    }
  }
}

}  // namespace
}  // namespace zumtal
