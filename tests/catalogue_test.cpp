// Files catalogued in memory as the run catalogues what it finds: the hashes
// that every container gives its programs, what archive members become, what
// damage and skipped members write, with and without keep-going, and the
// record a file leaves.
#include "driver/catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "base/text.h"
#include "g64_builder.h"
#include "nib_builder.h"
#include "readers/archives.h"
#include "report/file_record.h"
#include "report/program_hash.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

// The program "IT" in every kind of container, after another program where
// the container holds more than one.
std::map<std::string, Bytes> Containers(const Bytes& prg) {
  DiskBuilder d64, d71(kD71Format), d81(kD81Format);
  T64Builder tape("TAPE", 2);
  LynxBuilder lynx;
  ZipBuilder zip;
  for (const auto& [name, bytes] : {std::pair{"OTHER", Program(4096, 77, 9)}, {"IT", prg}}) {
    for (DiskBuilder* disk : {&d64, &d71, &d81}) disk->AddProgram(name, bytes);
    tape.AddProgram(name, bytes);
    lynx.Add(name, 'P', bytes);
    zip.Add("in/" + std::string(name) + ".prg", bytes);
  }
  return {{"x.prg", prg},          {"x.p00", P00File("IT", prg)},
          {"x.prg.gz", Gzip(prg)}, {"x.t64", tape.bytes()},
          {"x.lnx", lynx.Build()}, {"x.zip", zip.Build()},
          {"x.d64", d64.bytes()},  {"x.d71", d71.bytes()},
          {"x.d81", d81.bytes()},  {"x.g64", G64Builder(d64.bytes()).Build()}};
}

// A program gets the hashes of its .prg file in every container.
TEST(ProgramHash, EveryContainerGivesThePrgFilesHashes) {
  for (const std::size_t size : {0u, 1u, 252u, 253u, 5000u, 40000u}) {
    const Bytes prg = Program(0x0801, size, static_cast<std::uint32_t>(size));
    const std::string hashes = JsonHashes(prg);
    for (const auto& [name, bytes] : Containers(prg)) {
      const std::string output = RunReader(Catalogue, bytes, name, Layout::kJson).output;
      // In the last report, that of "IT".
      EXPECT_NE(output.find(hashes, output.rfind("{\"file\"")), std::string::npos) << name << " " << size;
    }
  }
}

// The key line and report of a PRG file of this name, in or out of archives.
std::string Prg(const std::string& pc, const std::string& data) {
  return ".PRG\r\n" + RunReader(ReadPrg, PrgFile(data), pc, Layout::kCsv, BareName(GzipInnerName(pc))).output;
}

std::string Error(const std::string& text) { return "!Error: " + text + "\r\n"; }

TEST(Archives, MembersAreCataloguedLikeFiles) {
  DiskBuilder disk;
  disk.AddProgram("INSIDE", Program(0x0801, 2000, 3));
  ZipBuilder inner;
  inner.Add("deeper/hello.prg", PrgFile("in"));
  ZipBuilder sound;
  sound.Add("disks/in.d64", disk.bytes());
  sound.Add("readme.txt", ToBytes("passed over"));
  sound.Add("demos/HELLO.PRG", PrgFile("hi"), 0);
  sound.Add("locked.prg", PrgFile("x")).flags = 1;
  sound.Add("shrunk.prg", PrgFile("x")).method = 1;
  sound.Add("big.d64", {}).size = kMaxMemberSize + 1;
  sound.Add("inner.zip", inner.Build());
  sound.Add("inner.zip.gz", Gzip(inner.Build()), 0);
  const std::string soundOutput = ".D64\r\n" + RunReader(ReadD64, disk.bytes(), "a.zip/disks/in.d64").output +
                                  Prg("a.zip/demos/HELLO.PRG", "hi") + Error("a.zip/locked.prg: encrypted, skipped") +
                                  Error("a.zip/shrunk.prg: compression method 1 not read, skipped") +
                                  Error("a.zip/big.d64: larger than 64 MiB, skipped") +
                                  Prg("a.zip/inner.zip/deeper/hello.prg", "in") +
                                  Prg("a.zip/inner.zip.gz/deeper/hello.prg", "in");
  Bytes noEnd = sound.Build();
  noEnd.pop_back(), noEnd.pop_back();

  ZipBuilder damaged;
  damaged.Add("one.prg", PrgFile("1"));
  damaged.Add("crc.prg", PrgFile("2")).crc ^= 0x80;
  damaged.Add("short.prg", PrgFile("3"), 0).size = 9;
  damaged.Add("bomb.prg", Bytes(100000)).size = 1000;
  damaged.Add("junk.prg", PrgFile("4")).stored = ToBytes("\xFF\xFF\xFF");
  damaged.Add("cut.d64", ToBytes("not a whole disk"), 0);
  damaged.Add("two.prg", PrgFile("5"), 0);

  const Bytes game = PrgFile("game");
  // Two members, then padding that begins none: it is ignored.
  const Bytes twoMembers =
      Joined({Gzip(Bytes(game.begin(), game.begin() + 3)), Gzip(Bytes(game.begin() + 3, game.end())), Bytes(8)});
  Bytes badCrc = Gzip(game);
  badCrc[badCrc.size() - 5] ^= 1;

  // The file's name and bytes, whether the run keeps going, its output and status.
  const std::tuple<std::string, Bytes, bool, std::string, int> cases[] = {
      {"a.zip", sound.Build(), false, soundOutput, 0},
      {"a.zip", sound.Build(true), false, soundOutput, 0},
      {"e.zip", ZipBuilder().Build(), false, "", 0},
      {"d.zip", damaged.Build(), true,
       Prg("d.zip/one.prg", "1") + Error("d.zip/crc.prg: CRC-32 does not match") +
           Error("d.zip/short.prg: length does not match") + Error("d.zip/bomb.prg: more data than declared") +
           Error("d.zip/junk.prg: data does not inflate") + ".D64\r\n" +
           Error("d.zip/cut.d64: header sector (track 18 sector 0) lies beyond the end of the file (16 bytes)") +
           Prg("d.zip/two.prg", "5"),
       100},
      {"d.zip", damaged.Build(), false, Prg("d.zip/one.prg", "1"), 100},
      {"n.zip", noEnd, true, Error("n.zip: no end of central directory record"), 100},
      {"game.prg.gz", twoMembers, false, Prg("game.prg.gz", "game"), 0},
      {"GAME.PRG.GZ", Gzip(game), false, Prg("GAME.PRG.GZ", "game"), 0},
      {"disk.d6z", Gzip(disk.bytes()), false, ".D64\r\n" + RunReader(ReadD64, disk.bytes(), "disk.d6z").output, 0},
      {"crc.prg.gz", badCrc, true, Error("crc.prg.gz: CRC-32 does not match"), 100},
      // The start of a second member, and no more of it.
      {"cut.prg.gz", Joined({Gzip(game), {0x1F, 0x8B}}), true, Error("cut.prg.gz: compressed data cut short"), 100},
      {"notes.txt.gz", ToBytes("not even gzip"), false, ".TXT\r\n" + Error("notes.txt.gz is not C64 file."), 0},
      {"plain.prg.gz", PrgFile("x"), true, Error("plain.prg.gz: not in gzip format"), 100},
  };
  for (const auto& [name, bytes, keepGoing, output, status] : cases) {
    const ReaderResult result = RunReader(Catalogue, bytes, name, Layout::kCsv, {}, keepGoing);
    EXPECT_EQ(result.output, output) << name;
    EXPECT_EQ(result.status, status) << name;
  }
}

// NIB and NBZ files whose whole is at fault: damaged compressed data, and
// other machines' dumps (no signature, before or after decompressing).
TEST(DiskDumps, WholeFileFaults) {
  const Bytes signature = ToBytes("MNIB-1541-RAW");
  const Bytes unsigned_ = ToBytes("MNIB-1571-RAW");
  constexpr std::uint8_t M = 0xAA;
  const std::tuple<std::string, Bytes, std::string, int> cases[] = {
      {"x.nbz", {M, 'x', M}, Error("x.nbz: compressed data damaged at byte 2"), 100},
      {"x.nbz", {M, 'a', 'b'}, Error("x.nbz is not C64 file."), 0},
      {"x.nbz", {}, Error("x.nbz is not C64 file."), 0},
      {"x.nib", unsigned_, Error("x.nib is not C64 file."), 0},
      {"x.nbz", NbzCompress(unsigned_), Error("x.nbz is not C64 file."), 0},
      {"x.nib", signature, Error("x.nib: header sector (track 18 sector 0) is not on the disk"), 100},
      {"x.nbz", NbzCompress(signature), Error("x.nbz: header sector (track 18 sector 0) is not on the disk"), 100},
  };
  for (const auto& [name, bytes, output, status] : cases) {
    const ReaderResult result = RunReader(Catalogue, bytes, name, Layout::kCsv, {}, true);
    EXPECT_EQ(result.output, ExtensionKey(name) + "\r\n" + output) << name << output;
    EXPECT_EQ(result.status, status) << name << output;
  }
}

TEST(Archives, NamesOfArchivesAndWhatTheyHold) {
  using enum ArchiveKind;
  const std::tuple<const char*, ArchiveKind, const char*> cases[] = {
      {"games.ZIP", kZip, "games.ZIP"},   {"x.d64.gz", kGzip, "x.d64"}, {"x.D6Z", kGzip, "x.D64"},
      {"x.d7z", kGzip, "x.d71"},          {"x.g6z", kGzip, "x.g64"},    {"x.d8z", kGzip, "x.d81"},
      {"a.t64.gz.gz", kGzip, "a.t64.gz"}, {"x.7z", kNone, "x.7z"},      {"gz", kNone, "gz"}};
  for (const auto& [name, kind, inner] : cases) {
    EXPECT_EQ(FindArchive(name), kind) << name;
    EXPECT_EQ(GzipInnerName(name), inner) << name;
  }
}

// A file's record: whole, with the hashes its layout needs, when the file was
// read through; damage kept going past leaves it not whole, and such a file
// is read again each run. (That a record plays back in every layout as a
// reading in that layout would write is checked end to end, under --db.)
TEST(FileRecord, WholeUnlessDamageWasKeptGoingPast) {
  ZipBuilder zip;
  zip.Add("good.prg", Program(0x0801, 10, 1));
  for (const bool damaged : {false, true}) {
    if (damaged) {
      zip.Add("bad.prg", Program(0x0801, 10, 2)).crc ^= 1;
    }
    FileRecord record;
    Output out;
    ReportWriter reports(out, Layout::kJson, Collect::kNone, true);
    reports.Record(&record);
    InputFile in(zip.Build());
    EXPECT_EQ(CatalogueInput(in, "b.zip", "b.zip", 0, CatalogueContext{reports}), damaged ? 100 : 0);
    EXPECT_EQ(record.whole, !damaged);
    EXPECT_EQ(record.hashes, kAllHashes);
  }
}

// What a kept program holds of its report: its name within the file, and
// its names' bytes with how the report shows them. A report that a record
// cannot give back as it was is not kept (its file is read each run).
TEST(FileRecord, ProgramsKeptOnlyAsTheyCanBeGivenBack) {
  const struct {
    std::string pcFile, imageName, imageHex, entryName, entryHex;
    bool kept;
    std::string member;
    std::uint8_t shown;
  } cases[] = {
      {"a.zip/x.prg", "AB", "4142", "CD", "4344", true, "/x.prg", 0},
      {"a.zip", " B", "0142", "C ", "43A0", true, "", kImageNameShownPrintable | kEntryNameShownPrintable},
      {"a.zip",
       "\x01"
       "B",
       "0142", " D", "A044", true, "", kEntryNameShownPrintable},
      {"b.zip/x.prg", "AB", "4142", "CD", "4344", false, "", 0},  // another file's
      {"a.zip", "AB", "4142", "CE", "4344", false, "", 0},        // shown as neither
      {"a.zip", "AB", "4142", "XD", "4344", false, "", 0},        // from the first byte on
      {"a.zip", "AB", "4142", "CD", "434", false, "", 0},         // not hex
      {"a.zip", "AB", "4142", "CD ", "4344", false, "", 0},       // of another length
  };
  for (const auto& c : cases) {
    EntryReport report;
    report.pcFileName = c.pcFile;
    report.imageName = c.imageName;
    report.imageNameHex = c.imageHex;
    report.entryName = c.entryName;
    report.entryNameHex = c.entryHex;
    report.loadAddress = 0x0801;
    report.size = 70000;
    std::string image, entry;
    RecordedEvent event;
    ASSERT_EQ(FileRecord::FromReport(report, "a.zip", image, entry, event), c.kept) << c.entryName << c.entryHex;
    if (!c.kept) {
      continue;
    }
    FileRecord record;
    event.format = &Formats().front();
    record.Add(event);
    EXPECT_EQ(record.events, 1u);  // what the store's limit on a file's rows counts
    RecordedEvent back;
    RecordReader reader(record.rows);
    ASSERT_TRUE(reader.Next(back));
    EXPECT_EQ(back.member, c.member);
    EXPECT_EQ(ToHex(back.imageName), c.imageHex);
    EXPECT_EQ(ToHex(back.entryName), c.entryHex);
    EXPECT_EQ(back.namesShown, c.shown);
    EXPECT_EQ(back.loadAddress, 0x0801);
    EXPECT_EQ(back.size, 70000u);
    EXPECT_FALSE(reader.Next(back));
  }
}

}  // namespace
}  // namespace zumtal
