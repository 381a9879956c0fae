// NIB dumps, NBZ files and Zipcode sets: their decoders, fed from D64
// sectors by the bench builders, checked sector by sector against the D64.
#include <gtest/gtest.h>

#include <map>

#include "nib_builder.h"
#include "readers/archives.h"
#include "readers/gcr.h"
#include "readers/nbz.h"
#include "readers/nib_image.h"
#include "readers/zipcode.h"
#include "zipcode_builder.h"

namespace zumtal {
namespace {

using namespace testing;
using Place = std::pair<int, int>;
using Faults = std::map<Place, char>;

// Programs over the first 30 tracks or so, each with a short last sector;
// the sectors after them stay zero.
Bytes SampleDisk() {
  DiskBuilder disk;
  disk.SetDiskName("SAMPLE");
  for (std::uint32_t i = 0; i < 5; ++i) {
    disk.AddProgram("P" + std::to_string(i), Program(0x0801, 20000 + 3001 * i, 1 + i), static_cast<int>(1 + i));
  }
  return disk.bytes();
}

// How the decoded disk differs from the D64 over tracks 1 to 42, one sector
// past each track's count included: 'A' absent, 'N' no good copy, 'X' other
// bytes, 'G' good where the D64 has no sector.
template <class Disk>
Faults Compare(Disk& disk, const Bytes& d64) {
  Faults faults;
  for (int t = 1; t <= 42; ++t) {
    for (int s = 0; s <= kG64Format.sectorsPerTrack[static_cast<std::size_t>(t)]; ++s) {
      const SectorPlace place = disk.Locate(static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(s));
      const bool onDisk = t <= 35 && s < kD64Format.sectorsPerTrack[static_cast<std::size_t>(t)];
      char fault = 0;
      if (place.state == SectorState::kNotOnDisk) {
        fault = onDisk ? 'A' : 0;
      } else if (place.state == SectorState::kNoGoodCopy) {
        fault = 'N';
      } else if (!onDisk) {
        fault = 'G';
      } else if (std::memcmp(disk.Image().data() + place.position, d64.data() + kD64Format.Position(t, s), 256) != 0) {
        fault = 'X';
      }
      if (fault != 0) {
        faults[{t, s}] = fault;
      }
    }
  }
  return faults;
}

// Every sector of tracks `first` to `last` with the fault.
Faults Tracks(int first, int last, char fault) {
  Faults faults;
  for (int t = first; t <= last; ++t) {
    for (int s = 0; s < kD64Format.sectorsPerTrack[static_cast<std::size_t>(t)]; ++s) {
      faults[{t, s}] = fault;
    }
  }
  return faults;
}

Faults ReadNib(const Bytes& nib, const Bytes& d64) {
  InputFile file(nib);
  EXPECT_TRUE(HasNibSignature(file));
  NibImage image(file);
  return Compare(image, d64);
}

// Each case edits the builder, then its table, then the file.
TEST(NibImage, TablesAndTracks) {
  const Bytes d64 = SampleDisk();
  using N = NibBuilder&;
  using E = std::vector<NibEntry>&;
  const auto none = [](N) {};
  const auto same = [](E) {};
  const struct {
    const char* what;
    void (*edit)(N);
    void (*table)(E);
    Faults faults;
    void (*file)(Bytes&) = [](Bytes&) {};
  } cases[] = {
      {"odd half tracks before each track", [](N n) { n.SetHalfTracks(true); }, same, {}},
      {"track not dumped", [](N n) { n.SetAbsent(20); }, same, Tracks(20, 20, 'A')},
      {"damaged copy first", [](N n) { n.Sectors().DamagedCopyFirst(18, 1); }, same, {}},
      {"only copy damaged", [](N n) { n.Sectors().Copy(5, 3).badDataSum = true; }, same, {{{5, 3}, 'N'}}},
      {"header names the next track", [](N n) { n.Sectors().Copy(7, 2).track = 8; }, same, {{{7, 2}, 'N'}}},
      {"sector number past the track's", [](N n) { n.Sectors().Copy(1, 20).sector = 21; }, same, {{{1, 20}, 'N'}}},
      {"one revolution, a data block cut by the end", [](N n) { n.CutDataBlock(18, 1); }, same, {{{18, 1}, 'N'}}},
      {"a later entry of a track does not count",
       none,
       [](E e) {
         e.push_back({10, 3, Bytes(8192, 0x55)});
       },
       {}},
      {"the first entry of a track counts", none,
       [](E e) {
         e.insert(e.begin(), {10, 3, Bytes(8192, 0x55)});
       },
       Tracks(5, 5, 'N')},
      {"half track 0 ends the table", none, [](E e) { e[20].halfTrack = 0; }, Tracks(21, 35, 'A')},
      {"120 entries, each track again",
       none,
       [](E e) {
         for (std::size_t i = 0; e.size() < 120; ++i) {
           e.push_back({e[i].halfTrack, 0, Bytes(8192, 0)});
         }
       },
       {}},
      {"last track's data one byte short", none, same, Tracks(35, 35, 'A'), [](Bytes& f) { f.pop_back(); }},
      {"file cut inside the table", none, same, Tracks(1, 35, 'A'), [](Bytes& f) { f.resize(100); }},
  };
  for (const auto& c : cases) {
    NibBuilder builder(d64);
    c.edit(builder);
    std::vector<NibEntry> entries = builder.Entries();
    c.table(entries);
    Bytes nib = NibBuilder::Assemble(entries);
    c.file(nib);
    EXPECT_EQ(ReadNib(nib, d64), c.faults) << c.what;
  }
  for (const char* other : {"MNIB-1541-RA", "MNIB-1541-RAX", "GCR-1541\0\0\0\0\0"}) {
    InputFile file(ToBytes(other));
    EXPECT_FALSE(HasNibSignature(file)) << other;
  }
}

// The no-wrap rule itself: one revolution whose data starts in the first
// copy's data block, in its header, or at its data block's sync (so the
// header is at the end, its data block at the start). Read as a ring, the
// data gives that sector; as a line, never.
TEST(NibImage, BlocksCutByTheEndAreNotJoined) {
  const Bytes d64 = SampleDisk();
  for (const std::size_t into : {kGcrDataStart + 160, std::size_t{8}, kGcrDataStart - 5}) {
    NibBuilder builder(d64);
    builder.SetRing(18, kNibTrackBytes, 8 * into + 3);
    const Bytes data = builder.TrackData(18);
    EXPECT_NE(DecodeGcrTrack(data.data(), data.size(), 18, GcrStream::kRing).Sector(0), nullptr) << into;
    const GcrTrack line = DecodeGcrTrack(data.data(), data.size(), 18, GcrStream::kLine);
    EXPECT_EQ(line.Sector(0), nullptr) << into;
    EXPECT_EQ(line.Count(), 18u) << into;
  }
}

// Hand-written streams with marker M: what they give, or where they break.
TEST(Nbz, CodesAndDamage) {
  constexpr std::uint8_t M = 0xAA;
  constexpr auto kMost = static_cast<std::size_t>(kNbzMostOutput);
  const Bytes fill = Joined({{M, 1, M}, NbzNumber(kMost - 1), {1}});  // exactly the most output
  const struct {
    Bytes input;
    Bytes output;
    std::int64_t damagedAt = -1;
  } cases[] = {
      {{}, {}},
      {{M}, {}},
      {{M, 1, 2, M, 0, 3}, {1, 2, M, 3}},
      {{M, 7, M, 5, 1}, Bytes(6, 7)},
      {{M, 1, 2, 3, M, 5, 2}, {1, 2, 3, 2, 3, 2, 3, 2}},
      {Joined({{M, 4, M}, NbzNumber(300), {1}}), Bytes(301, 4)},
      {{M, 1, M, 0x80, 0x00, 1}, {1}},
      {fill, Bytes(kMost, 1)},
      {{M, 1, M, 2, 0}, {}, 2},
      {{M, 1, M, 2, 2}, {}, 2},
      {{M, M, 2, 1}, {}, 1},
      {{M, 1, M, 2}, {}, 2},
      {{M, 1, M, 2, 0x81}, {}, 2},
      {{M, 1, 2, M}, {}, 3},
      {Joined({{M, 1, M}, NbzNumber(kMost), {1}}), {}, 2},
      {Joined({{M, 1, M}, NbzNumber(std::uint64_t{1} << 60), {1}}), {}, 2},
      {Joined({{M, 1, M}, Bytes(20, 0xFF), {1, 1}}), {}, 2},
      {Joined({fill, {9}}), {}, static_cast<std::int64_t>(fill.size())},
      {Joined({fill, {M, 0}}), {}, static_cast<std::int64_t>(fill.size())},
      {Joined({fill, {M, 1, 1}}), {}, static_cast<std::int64_t>(fill.size())},
  };
  for (const auto& c : cases) {
    InputFile file(c.input);
    Bytes out{1, 2, 3};
    const NbzResult result = DecompressNbz(file, out);
    EXPECT_EQ(result.ok ? -1 : static_cast<std::int64_t>(result.damagedAt), c.damagedAt) << c.input.size();
    EXPECT_EQ(out, c.output) << c.input.size();
  }
}

// Each case edits one part's records, or its file, or puts another part's
// file in its place: a part that breaks a rule leaves all its tracks absent
// and the other parts whole. Packed bytes, when given, replace record 3.
TEST(Zipcode, FilesAndDamage) {
  const Bytes d64 = SampleDisk();
  using R = std::vector<ZipcodeRecord>&;
  const auto same = [](R) {};
  const auto whole = [](Bytes&) {};
  const struct {
    const char* what;
    int part;
    bool damaged;
    void (*edit)(R);
    void (*file)(Bytes&);
    Bytes packed = {};
    int fileOf = 0;
  } cases[] = {
      {"as built", 2, false, same, whole},
      {"bytes after the last track", 4, false, same,
       [](Bytes& f) {
         f.insert(f.end(), {9, 0, 1, 2});
       }},
      {"packed record makes 256 bytes", 2, false, same, whole, {0xE5, 255, 0, 0}},
      {"packed record makes 255 bytes", 2, true, same, whole, {0xE5, 255, 0}},
      {"packed record makes 257 bytes", 2, true, same, whole, {0xE5, 255, 0, 1, 2}},
      {"packed record ends in its escape", 2, true, same, whole, {0xE5, 255, 0, 0xE5}},
      {"sector repeated", 2, true, [](R r) { r.insert(r.begin() + 1, r[0]); }, whole},
      {"sector past its track's", 3, true, [](R r) { r[0].sector = 21; }, whole},
      {"track of another part", 2, true, [](R r) { r[0].trackByte = static_cast<std::uint8_t>(r[0].trackByte + 8); },
       whole},
      {"next track before this one is whole", 1, true, [](R r) { std::swap(r[20], r[21]); }, whole},
      {"both filled and packed", 4, true, [](R r) { r[5].trackByte |= 0xC0; }, whole},
      {"cut in the last record", 3, true, same, [](Bytes& f) { f.pop_back(); }},
      {"last record missing", 4, true, [](R r) { r.pop_back(); }, whole},
      {"no disk id", 1, true, same, [](Bytes& f) { f.erase(f.begin() + 2, f.begin() + 4); }},
      {"load address only", 2, true, same, [](Bytes& f) { f.resize(2); }},
      {"part 2's file as part 3", 3, true, same, whole, {}, 2},
  };
  for (const auto& c : cases) {
    ZipcodeBuilder set(d64);
    c.edit(set.Records(c.part));
    Bytes want(d64);
    if (!c.packed.empty()) {
      ZipcodeRecord& record = set.Records(c.part)[3];
      record = ZipcodeBuilder::Packed(record.trackByte & 0x3F, record.sector, 0xE5, c.packed);
      std::fill_n(
          want.begin() + static_cast<std::ptrdiff_t>(kD64Format.Position(record.trackByte & 0x3F, record.sector)), 256,
          0);
    }
    ZipcodeDisk disk;
    for (int part = 1; part <= 4; ++part) {
      Bytes bytes = set.Build(part == c.part && c.fileOf != 0 ? c.fileOf : part);
      if (part == c.part) {
        c.file(bytes);
      }
      InputFile file(bytes);
      EXPECT_EQ(disk.AddFile(file, part).damaged, part == c.part && c.damaged) << c.what << ", part " << part;
    }
    const ZipcodeTrackRange range = ZipcodeTracks(c.part);
    EXPECT_EQ(Compare(disk, want), c.damaged ? Tracks(range.first, range.last, 'A') : Faults{}) << c.what;
  }
}

// A part's number from its name, or 0; a folder's walk catalogues the parts
// of a set, and no other .z64 file.
TEST(Zipcode, FileNames) {
  const std::pair<const char*, int> cases[] = {{"1!Game (1987)(Maker).z64", 1},
                                               {"4!A.Z64", 4},
                                               {"2!.z64", 2},
                                               {"5!x.z64", 0},
                                               {"0!x.z64", 0},
                                               {"1x.z64", 0},
                                               {"!1x.z64", 0},
                                               {"1!z64", 0},
                                               {"1!", 0},
                                               {"1!x.z640", 0},
                                               {"a.z64", 0}};
  for (const auto& [name, part] : cases) {
    EXPECT_EQ(ZipcodeFileNumber(name), part) << name;
    EXPECT_EQ(IsCatalogued(name), part != 0) << name;
  }
  EXPECT_EQ(ZipcodeFileNumber("1!x.d64"), 0);
  // A walk looks at the last part of a member's path.
  for (const auto& [name, catalogued] : {std::pair{"x/1!a.z64", true}, {"dir/a.z64", false}, {"1!/a.z64", false}}) {
    EXPECT_EQ(IsCatalogued(name), catalogued) << name;
  }
  EXPECT_EQ(ZipcodeSiblingName("1!Game (1987)(Maker).z64", 3), "3!Game (1987)(Maker).z64");
}

}  // namespace
}  // namespace zumtal
