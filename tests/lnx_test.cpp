#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

using Lines = std::vector<std::string>;

// The report of a program whose own bytes are `bytes`, named as stored.
std::string Report(std::string_view name, const Bytes& bytes) {
  return CsvLine("t.lnx", "t.lnx", ToPrintable(name), bytes[0] | bytes[1] << 8,
                 static_cast<std::int64_t>(bytes.size() - 2) % 65536, Sum(bytes, 2), ToHex("t.lnx"), ToHex(name));
}

TEST(LnxReader, ReportsProgramsAndPassesOverEveryOtherType) {
  const Bytes first = Program(2049, 600, 1);  // three blocks, the last one part used
  const Bytes exact = Program(4096, 252, 2);  // one block, all used
  const Bytes last = Program(0xC000, 70000, 3);
  LynxBuilder lynx;
  lynx.Add("FIRST", 'P', first);
  lynx.Add("NOTES", 'S', Bytes(300, 7));
  lynx.Add("EXACT", 'P', exact);
  lynx.Add("USER", 'U', Bytes(10, 8));
  lynx.Add("GONE", 'D', Bytes(20, 9));
  lynx.Add("LAST", 'P', last);
  lynx.Add("RECORDS", 'R', Bytes(500, 10), 64);
  const std::string expected =
      Report(PaddedName("FIRST"), first) + Report(PaddedName("EXACT"), exact) + Report(PaddedName("LAST"), last);
  auto result = RunReader(ReadLnx, lynx.Build(), "t.lnx");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, expected);
  // The REL file, last, without its last line: the directory ends after its
  // record length.
  Lines lines = lynx.Lines();
  lines.pop_back();
  result = RunReader(ReadLnx, lynx.Build(lines, lynx.DirectoryBlocks()), "t.lnx");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, expected);
  // Long blocks carry a blank marker, as a tape archive's.
  result = RunReader(ReadLnx, lynx.Build(), "t.lnx", Layout::kLong);
  EXPECT_NE(result.output.find("Image name   :  t.lnx\r\nFilename     :  EXACT"), std::string::npos);
}

// Two programs: lines 2-5 and 6-9 are their name, blocks, type and last.
struct TwoPrograms {
  Bytes one = Program(2049, 400, 1);  // two blocks
  Bytes two = Program(4096, 100, 2);  // one block
  LynxBuilder lynx;
  TwoPrograms() {
    lynx.Add("ONE", 'P', one);
    lynx.Add("TWO", 'P', two);
  }
  ReaderResult Run(void (*edit)(Lines&), std::size_t cut) const {
    Lines lines = lynx.Lines();
    edit(lines);
    // Data after the directory, however long the lines have grown.
    std::size_t size = LynxBuilder::Stub().size();
    for (const auto& line : lines) {
      size += line.size() + 1;
    }
    Bytes bytes = lynx.Build(lines, std::max(lynx.DirectoryBlocks(), (size + 253) / 254));
    bytes.resize(bytes.size() - cut);
    return RunReader(ReadLnx, bytes, "t.lnx");
  }
};

// Damage after the signature line ends the run (100) after the reports
// already written.
TEST(LnxReader, DirectoryText) {
  const TwoPrograms archive;
  const std::string one = Report(PaddedName("ONE"), archive.one);
  const std::string two = Report(PaddedName("TWO"), archive.two);
  Bytes twoWhole = archive.two;  // its whole block
  twoWhole.resize(254, 0);
  const Bytes twoCut(archive.two.begin(), archive.two.begin() + 60);
  const struct {
    const char* what;
    void (*edit)(Lines&);
    std::size_t cut;  // bytes cut from the end of the archive
    std::string output;
    int status;
  } cases[] = {
      {"as built", [](Lines&) {}, 0, one + two, 0},
      {"leading zeros, no blanks, many blanks",
       [](Lines& l) { l[0] = "1 *LYNX", l[1] = "002", l[3] = "   0002   ", l[5] = "149"; }, 0, one + two, 0},
      {"lower case signature and type", [](Lines& l) { l[0] = " 01  ultimate lynx ", l[4] = "p", l[8] = " P "; }, 0,
       one + two, 0},
      {"name longer than 16 bytes, as stored", [](Lines& l) { l[6] = "A NAME OF TWENTY-TWO\xA0\x01"; }, 0,
       one + Report("A NAME OF TWENTY-TWO\xA0\x01", archive.two), 0},
      {"last file's last line left out: its whole block", [](Lines& l) { l.pop_back(); }, 0,
       one + Report(PaddedName("TWO"), twoWhole), 0},
      {"... cut at the end of the archive", [](Lines& l) { l.pop_back(); }, 254 - 60,
       one + Report(PaddedName("TWO"), twoCut), 0},
      {"no files", [](Lines& l) { l.resize(2), l[1] = " 0 "; }, 0, "", 0},
      {"signature without directory blocks", [](Lines& l) { l[0] = " *LYNX"; }, 0, "", 100},
      {"count not a number", [](Lines& l) { l[1] = " 2X "; }, 0, "", 100},
      {"count larger than the directory holds, overflowing 64 bits",
       [](Lines& l) { l[1] = " 99999999999999999999999 "; }, 0, one + two, 100},
      {"blank where a number must be", [](Lines& l) { l[7] = "  "; }, 0, one, 100},
      {"first file's last line not a number", [](Lines& l) { l[5] = " P "; }, 0, "", 100},
      {"directory blocks overflowing 64 bits", [](Lines& l) { l[0] = " 36893488147419103232 *LYNX"; }, 0, "", 100},
      {"no directory blocks: data over the directory", [](Lines& l) { l[0] = " 0 *LYNX"; }, 0, "", 100},
      {"blocks overflowing 64 bits", [](Lines& l) { l[7] = " 18446744073709551617 "; }, 0, one, 100},
      {"last byte count past the file's blocks", [](Lines& l) { l[5] = " 256 "; }, 0, "", 100},
      {"last byte count overflowing 64 bits", [](Lines& l) { l[9] = " 18446744073709551617 "; }, 0, one, 100},
      {"no blocks", [](Lines& l) { l[3] = " 0 "; }, 0, "", 100},
      {"one byte of its own", [](Lines& l) { l[9] = " 2 "; }, 0, one, 100},
      {"name longer than a block", [](Lines& l) { l[0] = " 2  *LYNX", l[6] = std::string(300, 'N'); }, 0, one, 100},
      {"data cut short", [](Lines&) {}, 254 - 50, one, 100},
      {"directory cut short", [](Lines&) {}, 4 * 254 - 80, "", 100},
  };
  for (const auto& c : cases) {
    const auto result = archive.Run(c.edit, c.cut);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.output, c.output) << c.what;
  }
}

// Programs are read in batches after their directory entries: damage in
// the directory or the data keeps every report before it.
TEST(LnxReader, DamageAfterManyProgramsKeepsTheirReports) {
  LynxBuilder lynx;
  std::string first400, first500, all;
  for (int i = 0; i < 600; ++i) {
    const Bytes program = Program(2049, static_cast<std::size_t>(i % 200), static_cast<std::uint32_t>(i));
    lynx.Add("P" + std::to_string(i), 'P', program);
    all += Report(PaddedName("P" + std::to_string(i)), program);
    if (i == 399) {
      first400 = all;
    }
    if (i == 499) {
      first500 = all;
    }
  }
  Bytes bytes = lynx.Build();
  EXPECT_EQ(RunReader(ReadLnx, bytes, "t.lnx").output, all);
  bytes.resize(bytes.size() - 254 * 100);  // the last hundred programs' data
  auto result = RunReader(ReadLnx, bytes, "t.lnx");
  EXPECT_EQ(result.status, 100);
  EXPECT_EQ(result.output, first500);
  Lines lines = lynx.Lines();
  lines[2 + 4 * 400 + 1] = "X";  // program 400's blocks
  result = RunReader(ReadLnx, lynx.Build(lines, lynx.DirectoryBlocks()), "t.lnx");
  EXPECT_EQ(result.status, 100);
  EXPECT_EQ(result.output, first400);
}

TEST(LnxReader, NotALynxArchiveGetsTheNotC64Line) {
  const Bytes stub = LynxBuilder::Stub();
  const auto withStub = [&](std::string_view text) {
    Bytes bytes = stub;
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
  };
  Bytes atari = ToBytes(std::string_view("LYNX\0\x02\0\0\x01\0GAME", 14));
  atari.resize(2000, 0);
  Bytes noEnd = stub;
  noEnd.resize(stub.size() - 4);
  Bytes tooLong = withStub(" 1  *LYNX\r 0 \r");
  tooLong.insert(tooLong.begin() + 6, 65536, 'x');  // the BASIC program runs past the C64's memory
  Bytes noReturn = withStub(" 1  *LYNX\r 0 \r");
  noReturn[stub.size() - 1] = ' ';
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"load address alone", {1, 8}},
      {"a cartridge image", atari},
      {"a BASIC program without an end", noEnd},
      {"a BASIC program past 64 KiB", tooLong},
      {"no carriage return after the program", noReturn},
      {"no carriage return after the signature", withStub(" 1  *LYNX XV")},
      {"signature without LYNX", withStub(" 1  *LINX\r 0 \r")},
      {"signature line longer than a block", withStub(" 1 " + std::string(300, ' ') + "LYNX\r 0 \r")},
  };
  for (const auto& c : cases) {
    const auto result = RunReader(ReadLnx, c.bytes, "t.lnx");
    EXPECT_EQ(result.status, 0) << c.what;
    EXPECT_EQ(result.output, "!Error: t.lnx is not C64 file.\r\n") << c.what;
  }
}

}  // namespace
}  // namespace zumtal
