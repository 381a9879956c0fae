// Zip and gzip files catalogued in memory: what each member becomes, and
// what damage and skipped members write, with and without keep-going.
#include <gtest/gtest.h>

#include "driver/catalogue.h"
#include "driver/run_failure.h"
#include "readers/archives.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

Bytes PrgFile(const std::string& data) { return ToBytes("\x01\x08" + data); }

std::string PrgReport(const std::string& pc, const std::string& bare, const std::string& data) {
  return ".PRG\r\n" + RunReader(ReadPrg, PrgFile(data), pc, Layout::kCsv, bare).output;
}

struct Catalogued {
  std::string output;
  int status = 0;
};

Catalogued Catalogue(const std::string& name, Bytes bytes, bool keepGoing) {
  Output out;
  ReportWriter reports(out, false);
  InputFile in(std::move(bytes));
  Catalogued result;
  try {
    result.status = CatalogueInput(in, name, name, 0, CatalogueContext{reports, keepGoing, nullptr});
  } catch (const RunFailure& failure) {
    result.status = failure.Code();
  }
  result.output = out.Text();
  return result;
}

TEST(Archives, MembersAreCataloguedLikeFiles) {
  DiskBuilder disk;
  disk.SetDiskName("ZIPPED");
  disk.AddProgram("INSIDE", Program(0x0801, 2000, 3));
  const std::string diskReport = RunReader(ReadD64, disk.bytes(), "a.zip/disks/in.d64").output;

  ZipBuilder sound;
  sound.Add("disks/", {});
  sound.Add("disks/in.d64", disk.bytes());
  sound.Add("readme.txt", ToBytes("passed over"));
  sound.Add("demos/HELLO.PRG", PrgFile("hi"), 0);
  const std::string soundOutput = ".D64\r\n" + diskReport + PrgReport("a.zip/demos/HELLO.PRG", "HELLO.PRG", "hi");

  ZipBuilder skipped;
  skipped.Add("locked.prg", PrgFile("x")).flags = 1;
  skipped.Add("shrunk.prg", PrgFile("x")).method = 1;
  skipped.Add("big.d64", {}).size = kMaxMemberSize + 1;
  skipped.Add("fine.prg", PrgFile("ok"));

  ZipBuilder damaged;
  damaged.Add("one.prg", PrgFile("1"));
  damaged.Add("crc.prg", PrgFile("2")).crc ^= 0x80;
  damaged.Add("short.prg", PrgFile("3"), 0).size = 9;
  damaged.Add("bomb.prg", Bytes(100000)).size = 1000;
  damaged.Add("junk.prg", PrgFile("4")).stored = ToBytes("\xFF\xFF\xFF");
  damaged.Add("cut.d64", ToBytes("not a whole disk"), 0);
  damaged.Add("two.prg", PrgFile("5"), 0);
  const std::string damagedLines =
      "!Error: d.zip/crc.prg: CRC-32 does not match\r\n"
      "!Error: d.zip/short.prg: length does not match\r\n"
      "!Error: d.zip/bomb.prg: more data than declared\r\n"
      "!Error: d.zip/junk.prg: data does not inflate\r\n"
      ".D64\r\n!Error: d.zip/cut.d64: data beyond the end of the file\r\n";

  ZipBuilder inner;
  inner.Add("deeper/hello.prg", PrgFile("in"));
  ZipBuilder outer;
  outer.Add("inner.zip", inner.Build());
  outer.Add("inner.zip.gz", Gzip(inner.Build()), 0);

  const Bytes game = PrgFile("game");
  Bytes twoMembers = Gzip(Bytes(game.begin(), game.begin() + 3));
  const Bytes rest = Gzip(Bytes(game.begin() + 3, game.end()));
  twoMembers.insert(twoMembers.end(), rest.begin(), rest.end());
  twoMembers.resize(twoMembers.size() + 8, 0);  // padding after the last member is ignored
  Bytes badCrc = Gzip(game);
  badCrc[badCrc.size() - 5] ^= 1;
  Bytes noEnd = sound.Build();
  noEnd.resize(noEnd.size() - 2);

  const struct {
    std::string name;
    Bytes bytes;
    bool keepGoing;
    std::string output;
    int status;
  } cases[] = {
      {"a.zip", sound.Build(), false, soundOutput, 0},
      {"a.zip", sound.Build(true), false, soundOutput, 0},
      {"s.zip", skipped.Build(), false,
       "!Error: s.zip/locked.prg: encrypted, skipped\r\n"
       "!Error: s.zip/shrunk.prg: compression method 1 not read, skipped\r\n"
       "!Error: s.zip/big.d64: larger than 64 MiB, skipped\r\n" +
           PrgReport("s.zip/fine.prg", "fine.prg", "ok"),
       0},
      {"d.zip", damaged.Build(), true,
       PrgReport("d.zip/one.prg", "one.prg", "1") + damagedLines + PrgReport("d.zip/two.prg", "two.prg", "5"), 100},
      {"d.zip", damaged.Build(), false, PrgReport("d.zip/one.prg", "one.prg", "1"), 100},
      {"o.zip", outer.Build(), false,
       PrgReport("o.zip/inner.zip/deeper/hello.prg", "hello.prg", "in") +
           PrgReport("o.zip/inner.zip.gz/deeper/hello.prg", "hello.prg", "in"),
       0},
      {"n.zip", noEnd, true, "!Error: n.zip: no end of central directory record\r\n", 100},
      {"game.prg.gz", twoMembers, false, PrgReport("game.prg.gz", "game.prg", "game"), 0},
      {"GAME.PRG.GZ", Gzip(game), false, PrgReport("GAME.PRG.GZ", "GAME.PRG", "game"), 0},
      {"disk.d6z", Gzip(disk.bytes()), false, ".D64\r\n" + RunReader(ReadD64, disk.bytes(), "disk.d6z").output, 0},
      {"crc.prg.gz", badCrc, true, "!Error: crc.prg.gz: CRC-32 does not match\r\n", 100},
      {"notes.txt.gz", ToBytes("not even gzip"), false, ".TXT\r\n!Error: notes.txt.gz is not C64 file.\r\n", 0},
      {"plain.prg.gz", PrgFile("x"), true, "!Error: plain.prg.gz: not in gzip format\r\n", 100},
  };
  for (const auto& c : cases) {
    const Catalogued result = Catalogue(c.name, c.bytes, c.keepGoing);
    EXPECT_EQ(result.output, c.output) << c.name;
    EXPECT_EQ(result.status, c.status) << c.name;
  }
}

TEST(Archives, NamesOfArchivesAndWhatTheyHold) {
  const struct {
    const char* name;
    ArchiveKind kind;
    const char* inner;
  } cases[] = {
      {"games.ZIP", ArchiveKind::kZip, "games.ZIP"},
      {"x.d64.gz", ArchiveKind::kGzip, "x.d64"},
      {"x.D6Z", ArchiveKind::kGzip, "x.D64"},
      {"x.d7z", ArchiveKind::kGzip, "x.d71"},
      {"x.g6z", ArchiveKind::kGzip, "x.g64"},
      {"x.d8z", ArchiveKind::kGzip, "x.d81"},
      {"a.t64.gz.gz", ArchiveKind::kGzip, "a.t64.gz"},
      {"x.7z", ArchiveKind::kNone, "x.7z"},
      {"gz", ArchiveKind::kNone, "gz"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindArchive(c.name), c.kind) << c.name;
    EXPECT_EQ(GzipInnerName(c.name), c.inner) << c.name;
  }
}

}  // namespace
}  // namespace zumtal
