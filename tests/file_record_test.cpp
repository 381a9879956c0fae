// A file's record: whole, with the hashes its layout needs, when the file was
// read through; damage kept going past leaves it not whole, and such a file
// is read again each run. (That a record plays back in every layout as a
// reading in that layout would write is checked end to end, under --db.)
#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

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

}  // namespace
}  // namespace zumtal
