// A file's record, made while a report writer reads it in one layout, plays
// back in every layout as a reading in that layout would write it.
#include <gtest/gtest.h>

#include "builders.h"
#include "driver/catalogue.h"
#include "readers/input_file.h"
#include "report/report_writer.h"

namespace zumtal {
namespace {

using namespace testing;

// An archive with a disk, a tape, a file that is no C64 file, a member
// passed over and a compressed disk: every kind of event a record holds.
Bytes Archive() {
  DiskBuilder disk;
  disk.SetDiskName("RECORD DISK");
  disk.AddProgram("ONE", Program(0x0801, 3000, 21));
  disk.AddProgram("TWO", Program(0xC000, 300, 22));
  T64Builder tape("RECORD TAPE", 2);
  tape.AddProgram("TAPED", Program(0x1000, 700, 23));
  ZipBuilder inner;
  inner.Add("deep.prg", Program(0x0801, 10, 24));
  ZipBuilder nest = inner;
  for (int level = 0; level < kMaxArchiveLevel; ++level) {
    ZipBuilder outer;
    outer.Add("n.zip", nest.Build());
    nest = outer;
  }
  ZipBuilder pack;
  pack.Add("disks/d.d64", disk.bytes());
  pack.Add("t.t64", tape.bytes());
  pack.Add("bad.lnx", ToBytes("no Lynx archive at all"));
  pack.Add("nest.zip", nest.Build());
  pack.Add("again.d64.gz", Gzip(disk.bytes()));
  return pack.Build();
}

// What a writer passed on: its text and what it collected, as text.
std::string Written(Output& out, ReportWriter& reports) {
  std::string all = out.TakeText();
  for (const auto& item : reports.TakeCollected()) {
    const EntryReport& r = item.report;
    all += std::to_string(static_cast<int>(item.kind)) + "|" + r.pcFileName + "|" + r.imageName + "|" + r.entryName +
           "|" + std::to_string(r.loadAddress) + "|" + std::to_string(r.size) + "|" + std::to_string(r.rawCrc) + "|" +
           std::to_string(item.digests.crc32) + "|" + std::to_string(item.digests.sha1[0]) +
           std::to_string(item.digests.md5[0]) + "|" + item.text + "\n";
  }
  return all + "files " + std::to_string(reports.FileCount()) + ", programs " + std::to_string(reports.ProgramCount());
}

std::string Read(const Bytes& bytes, Layout layout, Collect collect, FileRecord* record) {
  Output out;
  ReportWriter reports(out, layout, collect);
  reports.Record(record);
  InputFile in{Bytes(bytes)};
  EXPECT_EQ(CatalogueInput(in, "c64/pack.zip", "pack.zip", 0, CatalogueContext{reports}), 0);
  return Written(out, reports);
}

TEST(FileRecord, PlaysBackAsEveryLayoutReads) {
  const Bytes archive = Archive();
  FileRecord record;
  Read(archive, Layout::kJson, Collect::kNone, &record);
  ASSERT_TRUE(record.whole);
  EXPECT_EQ(record.hashes, kAllHashes);
  const struct {
    Layout layout;
    Collect collect;
  } cases[] = {{Layout::kCsv, Collect::kNone},        {Layout::kLong, Collect::kNone},
               {Layout::kJson, Collect::kNone},       {Layout::kCsv, Collect::kDuplicates},
               {Layout::kJson, Collect::kDuplicates}, {Layout::kCsv, Collect::kDat}};
  for (const auto& c : cases) {
    Output out;
    ReportWriter reports(out, c.layout, c.collect);
    reports.Replay(record);
    EXPECT_EQ(Written(out, reports), Read(archive, c.layout, c.collect, nullptr))
        << static_cast<int>(c.layout) << " " << static_cast<int>(c.collect);
  }
}

// Damage kept going past makes a record that is not whole: such a file is
// read again each run.
TEST(FileRecord, DamageMakesItNotWhole) {
  ZipBuilder broken;
  broken.Add("good.prg", Program(0x0801, 10, 1));
  broken.Add("bad.prg", Program(0x0801, 10, 2)).crc ^= 1;
  FileRecord record;
  Output out;
  ReportWriter reports(out, Layout::kCsv, Collect::kNone, true);
  reports.Record(&record);
  InputFile in(broken.Build());
  EXPECT_EQ(CatalogueInput(in, "b.zip", "b.zip", 0, CatalogueContext{reports}), 100);
  EXPECT_FALSE(record.whole);
}

}  // namespace
}  // namespace zumtal
