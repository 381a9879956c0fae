// Damage with and without keep-going: damage inside a program ends only that
// program when the run keeps going, with a line that says what and where;
// damage to the container's own structure ends the container. Each image has
// a good program before the damaged one and one after it.
#include <gtest/gtest.h>

#include "g64_builder.h"
#include "nib_builder.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;
using S = DiskBuilder::Sector;

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
Bytes AsG64(const Bytes& d64, int absent, S bad) {
  G64Builder g64(d64, 42);
  return Spoilt(g64, g64, absent, bad);
}
Bytes AsNib(const Bytes& d64, int absent, S bad) {
  NibBuilder nib(d64, 42);
  return Spoilt(nib, nib.Sectors(), absent, bad);
}
Bytes AsNbz(const Bytes& d64, int absent, S bad) { return NbzCompress(AsNib(d64, absent, bad)); }

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

INSTANTIATE_TEST_SUITE_P(
    Formats, DiskDamage,
    ::testing::Values(Family{"d64", &kD64Format, ReadD64, 40}, Family{"d71", &kD71Format, ReadD71, 70},
                      Family{"d81", &kD81Format, ReadD81, 80}, Family{"g64", &kD64Format, ReadG64, 42, AsG64},
                      Family{"nib", &kD64Format, ReadNib, 42, AsNib}, Family{"nbz", &kD64Format, ReadNbz, 42, AsNbz}),
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

// T64 and Lynx: a program's bytes past the end of the file; a directory cut
// by it.
TEST(Damage, TapesAndArchives) {
  T64Builder tape("TAPE", 3);
  tape.AddProgram("GOOD", kGood), tape.AddProgram("VICTIM", kVictim), tape.AddProgram("AFTER", kGood);
  Bytes moved = tape.bytes();
  moved[64 + 32 + 8] = 0xFF;  // VICTIM's data offset: 255 more than the file holds
  const std::string size = std::to_string(moved.size());
  const std::string kept = RunReader(ReadT64, moved, "t.t64", Layout::kCsv, {}, true).output;
  const std::size_t victimAt = static_cast<std::size_t>(moved[64 + 32 + 8] | moved[64 + 32 + 9] << 8);
  EXPECT_NE(kept.find("!Error: t.t64: VICTIM: bytes " + std::to_string(victimAt) + " to " +
                      std::to_string(victimAt + kVictim.size() - 2) + " lie beyond the end of the file (" + size +
                      " bytes)\r\n\"t.t64\""),
            std::string::npos)
      << kept;
  Bytes cut = tape.bytes();
  cut.resize(120);
  EXPECT_EQ(RunReader(ReadT64, cut, "t.t64", Layout::kCsv, {}, true).output,
            "!Error: t.t64: GOOD: bytes 160 to 260 lie beyond the end of the file (120 bytes)\r\n");
  EXPECT_EQ(RunReader(ReadT64, cut, "t.t64").status, 100);

  LynxBuilder lynx;
  lynx.Add("GOOD", 'P', kGood), lynx.Add("VICTIM", 'P', kVictim);
  Bytes archive = lynx.Build();
  archive.resize(archive.size() - 100);
  const ReaderResult lynxKept = RunReader(ReadLnx, archive, "l.lnx", Layout::kCsv, {}, true);
  EXPECT_TRUE(
      lynxKept.output.ends_with("!Error: l.lnx: VICTIM: bytes " + std::to_string(archive.size() + 100 - 254 * 12) +
                                " to " + std::to_string(archive.size() + 100 - 254 * 12 + kVictim.size()) +
                                " lie beyond the end of the file (" + std::to_string(archive.size()) + " bytes)\r\n"))
      << lynxKept.output;
}

}  // namespace
}  // namespace zumtal
