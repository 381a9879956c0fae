// The disk image readers, every case over each format of the family, damage
// with and without keep-going, then the G64 reader and the GCR track decoder
// under it.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "g64_builder.h"
#include "nib_builder.h"
#include "readers/gcr.h"
#include "support/harness.h"
#include "zipcode_builder.h"

namespace zumtal {
namespace {

using namespace testing;

// The reports of a run, then how it ended.
std::string Outcome(Reader reader, const Bytes& bytes, std::string_view fileName) {
  const ReaderResult result = RunReader(reader, bytes, fileName);
  return result.output + "exit " + std::to_string(result.status);
}

struct Format {
  const char* extension;
  const DiskFormat* format;
  Reader reader;
  std::vector<int> tracks;  // the image sizes in use
  // The disk name's place and some sectors' (track, sector, place), as byte
  // offsets from the format's own description, not the builder's arithmetic.
  int nameAt;
  std::vector<std::array<int, 3>> sectors;
  // For a format that stores the sectors encoded: the disk built as a D64,
  // then written in the format.
  Bytes (*encode)(const Bytes& d64) = nullptr;
};

Bytes AsG64(const Bytes& d64) { return G64Builder(d64).Build(); }
Bytes AsNib(const Bytes& d64) { return NibBuilder(d64).Build(); }
// The gap byte as the marker: the marker then stands for itself most often.
Bytes AsNbz(const Bytes& d64) { return NbzCompress(AsNib(d64), 0x55); }

// A Zipcode set as one file for the table: each part's length in 4 bytes,
// then the part.
Bytes AsZipcode(const Bytes& d64) {
  const ZipcodeBuilder set(d64);
  Bytes packed;
  for (int part = 1; part <= 4; ++part) {
    const Bytes bytes = set.Build(part);
    for (int shift = 0; shift < 32; shift += 8) packed.push_back(static_cast<std::uint8_t>(bytes.size() >> shift));
    packed.insert(packed.end(), bytes.begin(), bytes.end());
  }
  return packed;
}

// Its parts by name, all but the first beside it.
class PackedSet final : public Siblings {
 public:
  explicit PackedSet(InputFile& in) {
    for (int part = 1; part <= 4; ++part) {
      Bytes bytes(in.ReadLong());
      in.ReadInto(bytes.data(), bytes.size());
      parts_[std::to_string(part) + "!d.z64"] = std::move(bytes);
    }
  }
  bool Has(std::string_view bareName) override { return parts_.count(std::string(bareName)) != 0; }
  std::unique_ptr<InputFile> Open(std::string_view bareName) override {
    return std::make_unique<InputFile>(parts_.at(std::string(bareName)));
  }

 private:
  std::map<std::string, Bytes> parts_;
};

// The packed set read as its 1! file, named as the table names its file.
void ReadPackedSet(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  PackedSet set(in);
  const auto* format = FindFormat("1!d.z64");
  const auto first = set.Open("1!d.z64");
  ReadZipcode(*first, sink, ContainerNames{names.pcFileName, "1!d.z64", *format, &set});
}

// D64: the header at 18/0 = 91392, the name at 144 in it; zones of 21, 19,
// 18 and 17 sectors from tracks 1, 18, 25 and 31. D71: side two from 174848
// as a second D64. D81: 40 sectors a track, the name at 4 in 40/0.
const Format kFormats[] = {
    {"d64", &kD64Format, ReadD64, {35, 40}, 91536, {{17, 20, 91136}, {25, 0, 125440}, {35, 16, 174592}}},
    {"d71",
     &kD71Format,
     ReadD71,
     {70},
     91536,
     {{35, 16, 174592}, {36, 0, 174848}, {53, 5, 267520}, {60, 17, 304640}, {70, 16, 349440}}},
    {"d81", &kD81Format, ReadD81, {80}, 399364, {{1, 0, 0}, {41, 7, 411392}, {80, 39, 818944}}},
    {"g64", &kD64Format, ReadG64, {35, 40}, 91536, {{17, 20, 91136}, {25, 0, 125440}, {35, 16, 174592}}, AsG64},
    {"nib", &kD64Format, ReadNib, {35, 40}, 91536, {{17, 20, 91136}, {25, 0, 125440}, {35, 16, 174592}}, AsNib},
    {"nbz", &kD64Format, ReadNbz, {35, 40}, 91536, {{17, 20, 91136}, {25, 0, 125440}, {35, 16, 174592}}, AsNbz},
    {"z64", &kD64Format, ReadPackedSet, {35}, 91536, {{17, 20, 91136}, {25, 0, 125440}, {35, 16, 174592}}, AsZipcode},
};

class DiskReader : public ::testing::TestWithParam<Format> {
 protected:
  DiskBuilder Blank(int tracks = 0, bool errorBytes = false) const {
    return DiskBuilder(*GetParam().format, tracks, errorBytes);
  }
  std::string FileName() const { return std::string("d.") + GetParam().extension; }
  std::string Run(const Bytes& bytes) const {
    return Outcome(GetParam().reader, GetParam().encode != nullptr ? GetParam().encode(bytes) : bytes, FileName());
  }
  std::string Line(std::string_view name, const Bytes& program, std::string_view disk = "BLANK") const {
    return DiskLine(FileName(), name, program, disk);
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, DiskReader, ::testing::ValuesIn(kFormats),
                         [](const auto& param) { return std::string(param.param.extension); });

// Every slot of the directory track in use (D64 and D71 144 entries, D81
// 296), in every image size, with and without error bytes: each closed
// program is listed once, with the size and sum of its chain. Sequential,
// user, relative and deleted files, unclosed and locked programs, and 1581
// partitions (133) give no report. The first sizes end a chain's sectors at
// each kind of last link: (0, 3), (0, 4), (0, 255), then (0, 2) and (0, 3)
// in a second sector.
TEST_P(DiskReader, FullDirectoryInEveryImageSize) {
  const std::size_t sizes[] = {70000, 0, 1, 252, 253, 254, 506};
  const std::uint8_t others[] = {0, 2, 128, 129, 131, 132, 133, 194};
  for (const int tracks : GetParam().tracks) {
    for (const bool errors : {false, true}) {
      DiskBuilder disk = Blank(tracks, errors);
      std::string expected;
      for (std::size_t i = 0; i < static_cast<std::size_t>(disk.DirectoryCapacity()); ++i) {
        const Bytes program = Program(0x0801, i < 7 ? sizes[i] : 20 + i, static_cast<std::uint32_t>(i));
        const std::uint8_t type = i >= 7 && i < 15 ? others[i - 7] : 130;
        ASSERT_TRUE(disk.AddProgram("P" + std::to_string(i), program, 10, type));
        expected += type == 130 ? Line("P" + std::to_string(i), program) : "";
      }
      EXPECT_EQ(Run(disk.bytes()), expected + "exit 0") << tracks << errors;
    }
  }
}

// The directory is followed wherever its links lead, off its own track too;
// names are shown printable and given whole in hex.
TEST_P(DiskReader, DirectoryInLinkOrderAndNamesAsStored) {
  DiskBuilder disk = Blank();
  const Bytes program = Program(0x1000, 2);
  disk.WriteChain({{1, 0}}, program);
  disk.SetDiskName(std::string("D\0SK", 4));
  const struct {
    DiskBuilder::Sector sector;
    int slot;
    std::string name;
  } directory[] = {
      {disk.Directory(0), 2, std::string("F\x01RST\xA0\x41\xFFxxxxxxx", 16)},
      {disk.Directory(3), 7, "SECOND"},
      {disk.Directory(6), 0, "THIRD"},
      {{disk.format().directoryTrack + 1, 2}, 1, "FOURTH"},
  };
  std::string expected = CsvLine(FileName(), "D SK            ", "F RST A xxxxxxx ", 0x1000, 2, Sum(program, 2),
                                 "4400534BA0A0A0A0A0A0A0A0A0A0A0A0", "4601525354A041FF7878787878787800");
  for (std::size_t i = 0; i < 4; ++i) {
    disk.Link(directory[i].sector, i < 3 ? directory[i + 1].sector : DiskBuilder::Sector{0, 255});
    disk.PutEntry(directory[i].sector, directory[i].slot, 130, {1, 0}, directory[i].name);
    expected += i > 0 ? Line(directory[i].name, program, std::string("D\0SK", 4)) : "";
  }
  EXPECT_EQ(Run(disk.bytes()), expected + "exit 0");
}

// A chain written by hand at the format's byte offsets, under a disk name
// written there too, is read whole.
TEST_P(DiskReader, NameAndSectorsAtTheirByteOffsets) {
  DiskBuilder disk = Blank();
  std::memcpy(disk.bytes().data() + GetParam().nameAt, PaddedName("GEOMETRY").data(), 16);
  const auto& chain = GetParam().sectors;
  const Bytes program = Program(0x0801, 254 * chain.size() - 60);  // 196 bytes in the last sector
  for (std::size_t i = 0; i < chain.size(); ++i) {
    std::uint8_t* at = disk.bytes().data() + chain[i][2];
    at[0] = static_cast<std::uint8_t>(i + 1 < chain.size() ? chain[i + 1][0] : 0);
    at[1] = static_cast<std::uint8_t>(i + 1 < chain.size() ? chain[i + 1][1] : 197);
    std::memcpy(at + 2, program.data() + 254 * i, std::min<std::size_t>(254, program.size() - 254 * i));
  }
  disk.PutEntry(disk.Directory(0), 0, 130, {chain[0][0], chain[0][1]}, "AT OFFSET");
  EXPECT_EQ(Run(disk.bytes()), Line("AT OFFSET", program, "GEOMETRY") + "exit 0");
}

using S = DiskBuilder::Sector;

void CutAt(DiskBuilder& disk, S sector, std::size_t offset) { disk.bytes().resize(disk.Position(sector) + offset); }

// Links the first directory sector to its own place by another name.
void DirectoryLoop(DiskBuilder& disk) {
  const int before = disk.format().directoryTrack - 1;
  disk.Link(disk.Directory(0), S(before, disk.SectorsOf(before) + disk.format().directorySector));
}

// Bad images: the reports before the fault stay, then the status says why.
// GOOD is stored at 1/0 and listed first, VICTIM at 1/1 and listed second.
// Cases that cut the image, or that name a place further on by a sector
// number past its track's count, are for plain images only.
TEST_P(DiskReader, DamagedImages) {
  const Bytes program = Program(2049, 100);
  const std::string good = Line("GOOD", program);
  const std::string both = good + Line("VICTIM", program);
  using D = DiskBuilder&;
  const struct {
    std::string output;
    int status;
    const char* what;
    void (*damage)(D);
    bool plainOnly = false;
  } cases[] = {
      {"", 100, "cut in the disk name", [](D d) { CutAt(d, d.Header(), d.format().diskNameOffset + 15); }, true},
      {both, 100, "cut in entry 7 of the first directory sector", [](D d) { CutAt(d, d.Directory(0), 244); }, true},
      {both, 100, "cut right after entry 2's name", [](D d) { CutAt(d, d.Directory(0), 32 + 21); }, true},
      {both, 0, "cut after the first directory sector", [](D d) { CutAt(d, d.Directory(0), 256); }, true},
      {good, 100, "chain to the track after the image's", [](D d) { d.Link(S(1, 1), S(d.tracks() + 1, 0)); }},
      // Two past: no place in a plain image's table either.
      {good, 100, "chain past the format's tracks", [](D d) { d.Link(S(1, 1), S(d.format().lastTrack + 2, 0)); }},
      {good, 100, "sector past the last track's", [](D d) { d.Link(S(1, 1), S(d.tracks(), d.SectorsOf(d.tracks()))); }},
      {good, 100, "chain loops back through another name",
       [](D d) { d.Link(S(1, 1), S(2, 0)), d.Link(S(2, 0), S(1, d.SectorsOf(1))); }},
      {good + Line("VICTIM", Program(2049, 0)), 0, "last link below the data", [](D d) { d.Link(S(1, 1), S(0, 1)); }},
      {good, 0, "first track 0 is passed over", [](D d) { d.PutEntry(d.Directory(0), 1, 130, S(0, 7), "VICTIM"); }},
      {both, 0, "directory link to track 0, sector 0", [](D d) { d.Link(d.Directory(0), S(0, 0)); }},
      {both, 100, "directory past the tracks", [](D d) { d.Link(d.Directory(0), S(d.format().lastTrack + 2, 0)); }},
      {both, 0, "directory loop through another name of its first sector", DirectoryLoop, true},
  };
  for (const auto& c : cases) {
    if (GetParam().encode != nullptr && c.plainOnly) {
      continue;
    }
    DiskBuilder disk = Blank();
    disk.AddProgram("GOOD", program), disk.AddProgram("VICTIM", program);
    c.damage(disk);
    EXPECT_EQ(Run(disk.bytes()), c.output + "exit " + std::to_string(c.status)) << c.what;
  }
}

// Damage with and without keep-going: damage inside a program ends only that
// program when the run keeps going, with a line that says what and where;
// damage to the disk's own structure ends the disk. Each image has a good
// program before the damaged one and one after it.
const Bytes kGood = Program(0x0801, 100, 1);
const Bytes kVictim = Program(0x0801, 3000, 2);

// GOOD, then VICTIM over several sectors, then AFTER: a second entry for
// GOOD's sectors.
DiskBuilder ThreePrograms(const DiskFormat& format) {
  DiskBuilder disk(format);
  disk.AddProgram("GOOD", kGood);
  disk.AddProgram("VICTIM", kVictim, 1);
  const std::uint8_t* good = disk.At(disk.Directory(0));
  disk.PutEntry(disk.Directory(0), 2, 130, S(good[3], good[4]), "AFTER");
  return disk;
}

S FirstOf(DiskBuilder& disk, int entry) {
  const std::uint8_t* at = disk.At(disk.Directory(0)) + 32 * entry;
  return S(at[3], at[4]);
}

// Points VICTIM's first sector at `next`.
void Relink(DiskBuilder& disk, S next) {
  const S first = FirstOf(disk, 1);
  disk.At(first)[0] = static_cast<std::uint8_t>(next.first), disk.At(first)[1] = static_cast<std::uint8_t>(next.second);
}

// The encoded disks are built with track `absent` left out and the copy of
// `bad` spoilt.
template <typename Builder>
Bytes Spoilt(Builder& builder, G64Builder& sectors, int absent, S bad) {
  if (absent != 0) {
    builder.SetAbsent(absent);
  }
  if (bad.first != 0) {
    sectors.Copy(bad.first, bad.second).badDataSum = true;
  }
  return builder.Build();
}
Bytes G64With(const Bytes& d64, int absent, S bad) {
  G64Builder g64(d64, 42);
  return Spoilt(g64, g64, absent, bad);
}
Bytes NibWith(const Bytes& d64, int absent, S bad) {
  NibBuilder nib(d64, 42);
  return Spoilt(nib, nib.Sectors(), absent, bad);
}
Bytes NbzWith(const Bytes& d64, int absent, S bad) { return NbzCompress(NibWith(d64, absent, bad)); }

struct Family {
  const char* file;
  const DiskFormat* format;
  Reader reader;
  int lastTrack;  // as the reader counts them
  Bytes (*encode)(const Bytes& d64, int absent, S bad) = nullptr;
};

class DiskDamage : public ::testing::TestWithParam<Family> {};

TEST_P(DiskDamage, KeepGoingPastADamagedProgram) {
  const Family& family = GetParam();
  const std::string last = std::to_string(family.lastTrack);
  const std::string past = std::to_string(family.lastTrack + 2);
  const std::string dir = "(track " + std::to_string(family.format->directoryTrack) + " sector " +
                          std::to_string(family.format->directorySector) + ")";
  enum Only { kAll, kPlain, kEncoded };
  using D = DiskBuilder&;
  // The damage (given the reader's last track), and the line it gets with
  // keep-going: a program's, starting with its name, or a container's.
  const struct {
    const char* what;
    void (*damage)(D, int last);
    std::string line;
    Only only = kAll;
    int absent = 0;
    S bad = {0, 0};
  } cases[] = {
      {"a link past the last track", [](D d, int l) { Relink(d, S(l + 2, 0)); },
       "VICTIM: sector 1 links to track " + past + ", past the last track (" + last + ")"},
      {"a chain back on itself", [](D d, int) { Relink(d, FirstOf(d, 1)); },
       "VICTIM: sector 2 (track 1 sector 1) was read before"},
      {"a first sector past the last track",
       [](D d, int l) { d.PutEntry(d.Directory(0), 1, 130, S(l + 2, 0), "VICTIM"); },
       "VICTIM: sector 1 lies on track " + past + ", past the last track (" + last + ")"},
      {"a chain sector beyond the end of the file",
       [](D d, int) {
         Relink(d, S(d.tracks(), 1));
         d.At(S(d.tracks(), 1))[1] = 255;  // its last sector, all of it used
         d.bytes().resize(d.Position(S(d.tracks(), 1)) + 10);
       },
       "VICTIM: sector 2 (track " + std::to_string(family.format->usualTracks) + " sector 1) lies beyond the end of " +
           "the file (" + std::to_string(family.format->Position(family.format->usualTracks, 1) + 10) + " bytes)",
       kPlain},
      {"a directory link past the last track", [](D d, int l) { d.Link(d.Directory(0), S(l + 2, 0)); },
       "directory sector " + dir + " links to track " + past + ", past the last track (" + last + ")"},
      // VICTIM lies on 1/1 to 1/12.
      {"an absent track", [](D d, int) { Relink(d, S(3, 0)); },
       "VICTIM: sector 2 (track 3 sector 0) is not on the disk", kEncoded, 3},
      {"a sector past its track's count", [](D d, int) { Relink(d, S(1, 25)); },
       "VICTIM: sector 2 (track 1 sector 25) is not on the disk", kEncoded},
      {"a sector without a good copy", [](D d, int) { Relink(d, S(1, 2)); },
       "VICTIM: sector 2 (track 1 sector 2) has no good copy", kEncoded, 0, S(1, 2)},
  };
  const std::string name = std::string("d.") + family.file;
  const std::string good = DiskLine(name, "GOOD", kGood);
  const std::string after = DiskLine(name, "AFTER", kGood);
  const std::string victim = DiskLine(name, "VICTIM", kVictim);
  for (const auto& c : cases) {
    if (c.only != kAll && (c.only == kEncoded) != (family.encode != nullptr)) {
      continue;
    }
    DiskBuilder disk = ThreePrograms(*family.format);
    c.damage(disk, family.lastTrack);
    const Bytes bytes = family.encode != nullptr ? family.encode(disk.bytes(), c.absent, c.bad) : disk.bytes();
    const bool program = c.line.starts_with("VICTIM");
    // Without keep-going the damage ends the run after the reports before it.
    const ReaderResult stop = RunReader(family.reader, bytes, name);
    EXPECT_EQ(stop.output, program ? good : good + victim + after) << c.what;
    EXPECT_EQ(stop.status, 100) << c.what;
    const ReaderResult kept = RunReader(family.reader, bytes, name, Layout::kCsv, {}, true);
    EXPECT_EQ(kept.output, program ? good + "!Error: " + name + ": " + c.line + "\r\n" + after : good + victim + after)
        << c.what;
    EXPECT_EQ(kept.status, program ? 0 : 100) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, DiskDamage,
                         ::testing::Values(Family{"d64", &kD64Format, ReadD64, 40},
                                           Family{"d71", &kD71Format, ReadD71, 70},
                                           Family{"d81", &kD81Format, ReadD81, 80},
                                           Family{"g64", &kD64Format, ReadG64, 42, G64With},
                                           Family{"nib", &kD64Format, ReadNib, 42, NibWith},
                                           Family{"nbz", &kD64Format, ReadNbz, 42, NbzWith}),
                         [](const auto& param) { return std::string(param.param.file); });

// The line in the other layouts, and the sectors that the error bytes mark.
TEST(Damage, JsonObjectAndSectorErrors) {
  DiskBuilder disk(kD64Format, 35, true);
  disk.AddProgram("GOOD", kGood);
  disk.AddProgram("VICTIM", kVictim, 1);
  const S victim = FirstOf(disk, 1);
  const std::size_t errors = static_cast<std::size_t>(kD64Format.ImageSize(35));
  for (const auto& [sector, code] : {std::pair{victim, 5}, {S(1, 2), 0}, {S(1, 3), 1}, {S(1, 4), 9}, {S(2, 0), 2}}) {
    disk.bytes()[errors + disk.Position(sector) / 256] = static_cast<std::uint8_t>(code);
  }
  std::string json = RunReader(ReadD64, disk.bytes(), "e.d64", Layout::kJson).output;
  EXPECT_NE(json.find("\"entry_name\":\"GOOD            \""), std::string::npos);
  EXPECT_NE(json.find("\"sector_errors\":0}\n{"), std::string::npos) << json;
  EXPECT_TRUE(json.ends_with("\"sector_errors\":2}\n")) << json;  // 1/1 and 1/4; 2/0 is not VICTIM's

  disk.At(victim)[0] = 99;
  json = RunReader(ReadD64, disk.bytes(), "e.d64", Layout::kJson, {}, true).output;
  EXPECT_TRUE(
      json.ends_with("{\"file\":\"e.d64\",\"format\":\"D64\",\"entry_name\":\"VICTIM          \","
                     "\"entry_name_hex\":\"56494354494DA0A0A0A0A0A0A0A0A0A0\",\"error\":\"sector 1 links to "
                     "track 99, past the last track (40)\"}\n"))
      << json;
}

// A G64 track's entry: where its length and stream start.
std::size_t TrackAt(const Bytes& g64, std::size_t track) {
  return static_cast<std::size_t>(g64[8 * track + 4] | g64[8 * track + 5] << 8 | g64[8 * track + 6] << 16);
}

// G64 images of one disk: GOOD wholly on track 1, VICTIM from 1/1 on across
// tracks 1 to 3. Each case edits the builder, or else the image it writes:
// hostile headers and streams give the reports of what could be read, or
// none and 100.
TEST(G64Reader, TracksAndHostileImages) {
  const Bytes small = Program(2049, 600, 1);
  const Bytes large = Program(2049, 10000, 2);
  DiskBuilder disk;
  disk.AddProgram("GOOD", small, 10), disk.AddProgram("VICTIM", large, 1);
  const std::string good = DiskLine("d.g64", "GOOD", small);
  const std::string lines[] = {"", good, good + DiskLine("d.g64", "VICTIM", large)};
  using G = G64Builder&;
  const auto none = [](G) {};
  const struct {
    int reports;  // of GOOD and VICTIM, in order
    int status;
    const char* what;
    void (*edit)(G);
    void (*damage)(Bytes&) = [](Bytes&) {};
  } cases[] = {
      {2, 0, "half-track entries present", [](G g) { g.SetHalfTracks(true); }},
      {2, 0, "VICTIM's first sector moved to track 42",
       [](G g) { g.Copy(42, 16).data = g.Copy(1, 1).data, g.Copy(18, 1).data[35] = 42, g.Copy(18, 1).data[36] = 16; }},
      {2, 0, "track lengths above the header's maximum", none, [](Bytes& i) { i[10] = 100, i[11] = 0; }},
      {2, 0, "an unused track past the end of the file", none, [](Bytes& i) { i[12 + 8 * 29 + 3] = 0xFF; }},
      {2, 0, "a chain track's length runs on into the next tracks", none,
       [](Bytes& i) { i[TrackAt(i, 2)] = i[TrackAt(i, 2) + 1] = 0xFF; }},
      {0, 100, "header cut inside the offsets", none, [](Bytes& i) { i.resize(100); }},
      {0, 100, "entries end before the directory track", none, [](Bytes& i) { i[9] = 34; }},
      {0, 100, "directory track's offset past the end", none, [](Bytes& i) { i[12 + 8 * 17 + 3] = 0xFF; }},
      {0, 100, "directory track cut by the end of the file", none, [](Bytes& i) { i.resize(TrackAt(i, 18) + 3000); }},
  };
  for (const auto& c : cases) {
    G64Builder g64(disk.bytes(), 42);
    c.edit(g64);
    Bytes image = g64.Build();
    c.damage(image);
    EXPECT_EQ(Outcome(ReadG64, image, "d.g64"), lines[c.reports] + "exit " + std::to_string(c.status)) << c.what;
  }
}

using Copies = std::vector<GcrCopy>;
using Sectors = std::map<int, Bytes>;
constexpr int kTrack = 5;

GcrCopy Good(int sector, std::uint32_t seed) { return {sector, kTrack, Program(0, 254, seed)}; }
// Another copy of sector 4, put before its own.
GcrCopy& Extra(Copies& copies) { return *copies.insert(copies.begin() + 4, Good(4, 99)); }

// Each case edits a track of 21 good copies of its sectors in order, and the
// sectors it must give, then turns it `rotate` bits and from 0 to 7 more
// (negative: counted back from the end). The stream is one byte longer than
// a whole number of the decoder's 6-byte steps.
TEST(GcrDecoder, FirstGoodCopyByItsHeaderBit) {
  constexpr auto data = static_cast<std::int64_t>(8 * kGcrDataStart);
  constexpr auto copy = static_cast<std::int64_t>(8 * kGcrCopyBytes);
  const auto none = [](Copies&, Sectors&) {};
  const struct {
    const char* what;
    std::int64_t rotate;
    void (*edit)(Copies&, Sectors&);
  } cases[] = {
      {"as written", 0, none},
      {"sync across the end", -37, none},
      {"sync ending in the last byte", -45, none},
      {"header across the end", -40 - 37, none},
      {"data block across the end", -data - 1283, none},
      {"header at the end, its data block after the wrap", -data + 40 + 3, none},
      {"first copy's data checksum bad", 0, [](auto& c, auto&) { Extra(c).badDataSum = true; }},
      {"first copy's header checksum bad", 0, [](auto& c, auto&) { Extra(c).badHeaderSum = true; }},
      {"first copy holds an invalid code", 0, [](auto& c, auto&) { Extra(c).zeroAt = 160; }},
      {"invalid code after the checksum", 0, [](auto& c, auto&) { c[4].zeroAt = 323; }},
      {"the later of two good copies turned to the front", 8 - 21 * copy,
       [](auto& c, auto& s) { c.push_back(Good(4, 99)), s[4] = c.back().data; }},
      {"only copy damaged", 0, [](auto& c, auto& s) { c[8].badDataSum = true, s.erase(8); }},
      {"header names another track", 0, [](auto& c, auto& s) { c[6].track = kTrack + 1, s.erase(6); }},
      {"sector number past the track's", 0, [](auto& c, auto& s) { c[7].sector = 200, s[200] = s[7], s.erase(7); }},
  };
  for (const auto& c : cases) {
    for (int shift = 0; shift < 8; ++shift) {
      Copies copies;
      Sectors want;
      for (int s = 0; s < 21; ++s) {
        copies.push_back(Good(s, static_cast<std::uint32_t>(s + 1))), want[s] = copies.back().data;
      }
      c.edit(copies, want);
      const std::size_t length = std::max(copies.size() * kGcrCopyBytes, G64Builder::NominalLength(kTrack)) + 1;
      const auto bits = static_cast<std::int64_t>(8 * length);
      const Bytes stream = GcrTrackStream(copies, length, static_cast<std::size_t>((c.rotate + shift + bits) % bits));
      const GcrTrack track = DecodeGcrTrack(stream.data(), stream.size(), kTrack);
      Sectors got;
      for (int s = 0; s < 256; ++s) {
        if (const std::uint8_t* at = track.Sector(static_cast<std::uint8_t>(s))) {
          got[s] = Bytes(at, at + 256);
        }
      }
      EXPECT_EQ(got, want) << c.what << ", turned " << shift << " more";
      EXPECT_EQ(track.Count(), want.size()) << c.what << ", turned " << shift << " more";
    }
  }
}

// Streams that hold no good sector, however they are read.
TEST(GcrDecoder, NoSectorFromStreamsWithoutGoodBlocks) {
  const auto repeat = [](const Bytes& unit, std::size_t times) {
    Bytes bytes;
    while (times-- > 0) {
      bytes.insert(bytes.end(), unit.begin(), unit.end());
    }
    return bytes;
  };
  const Bytes copy = GcrTrackStream({Good(0, 1)});
  const Bytes streams[] = {
      {},                                                                   // empty
      {0xFF},                                                               // one byte of 1 bits
      {0x00},                                                               // one byte of 0 bits
      repeat({0xFF, 0xFF, 0x00}, 21845),                                    // syncs everywhere
      repeat(Bytes(copy.begin(), copy.begin() + kGcrDataStart - 5), 2000),  // headers and no data blocks
      Bytes(copy.begin(), copy.begin() + kGcrDataStart + 160),              // half a data block
  };
  for (const Bytes& stream : streams) {
    EXPECT_EQ(DecodeGcrTrack(stream.data(), stream.size(), kTrack).Count(), 0u) << stream.size();
  }
}

}  // namespace
}  // namespace zumtal
