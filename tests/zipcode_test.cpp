// Zipcode sets catalogued as the run catalogues them: from a folder (the
// files beside through a small Siblings of the test's own) and from a zip,
// against the D64 of the same sectors.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "driver/catalogue.h"
#include "readers/archives.h"
#include "support/harness.h"
#include "zipcode_builder.h"

namespace zumtal {
namespace {

using namespace testing;
using Folder = std::map<std::string, Bytes, std::less<>>;

// The files of a folder, by bare name.
class FolderSiblings final : public Siblings {
 public:
  explicit FolderSiblings(const Folder& folder) : folder_(folder) {}
  bool Has(std::string_view bareName) override { return folder_.find(bareName) != folder_.end(); }
  std::unique_ptr<InputFile> Open(std::string_view bareName) override {
    const auto found = folder_.find(bareName);
    return found == folder_.end() ? nullptr : std::make_unique<InputFile>(found->second);
  }

 private:
  const Folder& folder_;
};

ReaderResult Catalogue(const Folder& folder, const std::string& name, bool keepGoing = true) {
  Output out;
  ReportWriter reports(out, Layout::kCsv, Collect::kNone, keepGoing);
  InputFile in(folder.at(name));
  FolderSiblings siblings(folder);
  ReaderResult result;
  try {
    result.status = CatalogueInput(in, name, name, 0, CatalogueContext{reports}, &siblings);
  } catch (const RunFailure& failure) {
    result.status = failure.Code();
  }
  result.output = out.Text();
  return result;
}

constexpr char kName[] = "Game (1987)(Maker).z64";
std::string Part(int part) { return std::to_string(part) + "!" + kName; }

// Programs on the parts' tracks: FIRST on tracks 1 and 2, LONG from track 2
// past the directory track, then files that are not reported, then LAST on
// track 27.
Bytes SetDisk() {
  DiskBuilder disk;
  disk.SetDiskName("FOUR PARTS");
  disk.AddProgram("FIRST", Program(0x0801, 9000, 1), 3);
  disk.AddProgram("LONG", Program(0x0801, 80000, 2), 5);
  for (int i = 0; i < 16; ++i) {
    disk.AddProgram("FILL" + std::to_string(i), Program(0x0801, 2500, 4 + static_cast<std::uint32_t>(i)), 7, 129);
  }
  disk.AddProgram("LAST", Program(0x1000, 3000, 3), 7);
  return disk.bytes();
}

Folder SetFolder(const Bytes& d64) {
  const ZipcodeBuilder set(d64, 7);
  Folder folder;
  for (int part = 1; part <= 4; ++part) folder[Part(part)] = set.Build(part);
  return folder;
}

// The D64's own reports, under the 1! file's name.
std::string D64Lines(const Bytes& d64, std::string_view pcName) {
  return RunReader(ReadD64, d64, pcName, Layout::kCsv, "x.d64", true).output;
}

std::string Damaged(std::string_view pcName, std::string_view entry, std::string_view what) {
  return "!Error: " + std::string(pcName) + ": " + std::string(entry) + ": " + std::string(what) + "\r\n";
}

// The lines with the report of `entry` in place of its damage line.
std::string Damaging(const std::string& lines, std::string_view entry, std::string_view pcName, std::string_view what) {
  std::string kept;
  for (std::size_t at = 0; at < lines.size();) {
    const std::size_t end = lines.find('\n', at) + 1;
    const std::string line = lines.substr(at, end - at);
    kept += line.find("\"" + std::string(entry) + " ") == std::string::npos ? line : Damaged(pcName, entry, what);
    at = end;
  }
  return kept;
}

TEST(ZipcodeSet, FromAFolder) {
  const Bytes d64 = SetDisk();
  const std::string whole = D64Lines(d64, Part(1));
  ASSERT_NE(whole.find("\"LAST "), std::string::npos);
  const std::string p1 = Part(1);
  const struct {
    const char* what;
    std::function<void(Folder&)> edit;
    std::string read;
    std::string output;
    int status;
  } cases[] = {
      {"the set, as its D64", [](Folder&) {}, p1, ".Z64\r\n" + whole, 0},
      {"a later part beside its 1! writes nothing", [](Folder&) {}, Part(3), "", 0},
      {"a later part without its 1!", [&](Folder& f) { f.erase(p1); }, Part(2),
       ".Z64\r\n!Error: " + Part(2) + ": Zipcode part without its 1! file\r\n", 0},
      {"a later part whose 1! lies elsewhere", [](Folder& f) { f["4!Other.z64"] = f.at(Part(4)); }, "4!Other.z64",
       ".Z64\r\n!Error: 4!Other.z64: Zipcode part without its 1! file\r\n", 0},
      {"a .z64 without a part's prefix", [&](Folder& f) { f[kName] = f.at(p1); }, kName,
       ".Z64\r\n!Error: " + std::string(kName) + " is not C64 file.\r\n", 0},
      {"part 4 missing: LAST is damaged", [](Folder& f) { f.erase(Part(4)); }, p1,
       ".Z64\r\n" + Damaging(whole, "LAST", p1, "sector 1 (track 27 sector 1) is not on the disk"), 100},
      {"part 2 damaged: LONG is", [](Folder& f) { f.at(Part(2)).resize(5000); }, p1,
       ".Z64\r\n" + Damaging(whole, "LONG", p1, "sector 133 (track 9 sector 0) is not on the disk"), 100},
      {"every part the 1! file itself", [](Folder& f) { f[Part(2)] = f[Part(3)] = f[Part(4)] = f.at(Part(1)); }, p1,
       ".Z64\r\n!Error: " + p1 + ": header sector (track 18 sector 0) is not on the disk\r\n", 100},
  };
  for (const auto& c : cases) {
    Folder folder = SetFolder(d64);
    c.edit(folder);
    const ReaderResult result = Catalogue(folder, c.read);
    EXPECT_EQ(result.output, c.output) << c.what;
    EXPECT_EQ(result.status, c.status) << c.what;
  }
  // Without -k a missing part's damage ends the run.
  Folder folder = SetFolder(d64);
  folder.erase(Part(3));
  EXPECT_EQ(Catalogue(folder, p1, false).status, 100);
}

TEST(ZipcodeSet, NameRule) {
  for (const char* name : {"1!a.z64", "4!A.Z64", "2!.z64"}) EXPECT_TRUE(IsCatalogued(name)) << name;
  for (const char* name : {"a.z64", "5!a.z64", "1a.z64", "!1a.z64", "dir/a.z64", "1!/a.z64"}) {
    EXPECT_FALSE(IsCatalogued(name)) << name;
  }
  EXPECT_TRUE(IsCatalogued("x/1!a.z64"));
}

// Parts before and after the 1! member in the directory, in a folder of the
// archive; a set elsewhere in it without its 1!; parts of another folder's
// set do not count.
TEST(ZipcodeSet, InAZip) {
  const Bytes d64 = SetDisk();
  const Folder set = SetFolder(d64);
  ZipBuilder zip;
  zip.Add("sets/" + Part(3), set.at(Part(3)));
  zip.Add("sets/" + Part(1), set.at(Part(1)));
  zip.Add("other/" + Part(4), set.at(Part(4)));
  zip.Add("sets/" + Part(2), set.at(Part(2)), 0);
  zip.Add("sets/" + Part(4), set.at(Part(4)));
  const std::string pc = "a.zip/sets/" + Part(1);
  const std::string expected = ".Z64\r\n" + D64Lines(d64, pc) + ".Z64\r\n!Error: a.zip/other/" + Part(4) +
                               ": Zipcode part without its 1! file\r\n";
  const Folder archive{{"a.zip", zip.Build()}};
  const ReaderResult result = Catalogue(archive, "a.zip");
  EXPECT_EQ(result.output, expected);
  EXPECT_EQ(result.status, 0);

  // A part whose data is damaged: its member gets its own line, and the set
  // lacks its tracks.
  zip.members[3].crc ^= 1;
  const ReaderResult damaged = Catalogue(Folder{{"a.zip", zip.Build()}}, "a.zip");
  EXPECT_NE(damaged.output.find("!Error: a.zip/sets/" + Part(2) + ": CRC-32 does not match"), std::string::npos)
      << damaged.output;
  EXPECT_NE(damaged.output.find(Damaged(pc, "LONG", "sector 133 (track 9 sector 0) is not on the disk")),
            std::string::npos)
      << damaged.output;
  EXPECT_EQ(damaged.status, 100);
}

}  // namespace
}  // namespace zumtal
