// The single-file and archive readers (PRG, P00, T64, Lynx) and the
// primitives they read through. (The report layouts, for every format, are
// in the end-to-end golden files.)
#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;
using Lines = std::vector<std::string>;

struct Row {
  Bytes bytes;
  std::string output;
  int status = 0;
  std::string name = {};  // the table's file name when empty
};

void CheckAll(Reader reader, std::string_view name, const std::vector<Row>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto result = RunReader(reader, rows[i].bytes, rows[i].name.empty() ? name : rows[i].name);
    EXPECT_EQ(result.status, rows[i].status) << name << " row " << i;
    EXPECT_EQ(result.output, rows[i].output) << name << " row " << i;
  }
}

Bytes Cut(Bytes bytes, std::size_t length) {
  bytes.resize(length);
  return bytes;
}

// A PRG file's row: its entry name is the file name less the extension.
Row Prg(std::string name, Bytes bytes, std::int64_t load, std::int64_t size, std::int64_t sum) {
  const std::string entry = name.substr(0, name.size() - 4);
  return {std::move(bytes), CsvLine(name, name, entry, load, size, sum, ToHex(name), ToHex(entry)), 0, name};
}

// A P00 file's row: the stored name (padded with zero bytes) and as shown.
Row P00(std::string_view shown, std::string stored, const Bytes& program) {
  const auto size = static_cast<std::int64_t>(program.size() - 2) % 65536;
  Row row{P00File(stored, program), ""};
  stored.resize(16, '\0');
  row.output = CsvLine("g.p00", "g.p00", shown, program[0] | program[1] << 8, size, Sum(program, 2), ToHex("g.p00"),
                       ToHex(stored));
  return row;
}

TEST(Readers, PrgAndP00) {
  // Size modulo 65536 and every byte summed, past any read window; the load
  // address never summed. Too short for a load address (a P00 file shorter
  // than 28 bytes): 100, no report.
  CheckAll(ReadPrg, "x.prg",
           {Prg("GAME.PRG", {1, 8, 1, 2, 250}, 2049, 3, 253),
            Prg("g e.prg", {0, 0}, 0, 0, 0),
            Prg(".prg", {255, 255, 7}, 65535, 1, 7),
            Prg("big.prg", Bytes(2 + 65536 + 300000, 1), 257, 300000 % 65536, 365536),
            {{}, "", 100},
            {{1}, "", 100}});
  const Bytes program = Program(2049, 300, 3);
  const Bytes p00 = P00File("GAME", program);
  CheckAll(ReadP00, "g.p00",
           {P00("GAME            ", "GAME", program),
            P00("GAME            ", PaddedName("GAME"), program),
            P00(" \"Q,\x7F  z01234567", std::string("\x01\"Q,\x7F\x80\xFFz01234567", 16), program),
            P00("GAME            ", "GAME", Program(4096, 70000, 4)),
            {Cut(p00, 0), "", 100},
            {Cut(p00, 8), "", 100},
            {Cut(p00, 26), "", 100},
            {Cut(p00, 27), "", 100}});
  EXPECT_NE(RunReader(ReadP00, p00, "g.p00", Layout::kLong).output.find("Filename     :v GAME"), std::string::npos);
}

Reader ReaderOf(std::string_view name) {
  const Format* format = FindFormat(name);
  return format == nullptr ? nullptr : format->read;
}

TEST(Readers, TableTakesExactKeysThenPc64Numbers) {
  EXPECT_EQ(ReaderOf("a.PRG"), ReadPrg);
  EXPECT_EQ(ReaderOf("b.d64"), ReadD64);
  EXPECT_EQ(ReaderOf(".LnX"), ReadLnx);
  EXPECT_EQ(ReaderOf("x.Crt"), ReadCrt);
  EXPECT_EQ(ReaderOf("x.sId"), ReadSid);
  for (const char* name : {"x.P00", "x.p99"}) EXPECT_EQ(ReaderOf(name), ReadP00) << name;
  for (const char* name : {"x.S00", "x.u17", "x.R42", "x.D00", "x.D65"})
    EXPECT_EQ(ReaderOf(name), ReadPc64NonProgram) << name;
  for (const char* name : {"x.P0A", "x.PA0", "x.Q00", "XP00", "P00", "x.P00 "})
    EXPECT_EQ(ReaderOf(name), nullptr) << name;
  // Disk images, whatever reads them, are never PC64 deleted files.
  EXPECT_EQ(ReaderOf("x.NbZ"), ReadNbz);
  for (const char* name : {"x.D71", "x.D81"}) EXPECT_NE(ReaderOf(name), ReadPc64NonProgram) << name;
  // Every row's name and marker, as the layouts write them.
  std::string rows;
  for (const Format& format : Formats()) rows += std::string(format.name) + format.marker;
  EXPECT_EQ(rows, "PRGvT64 TAP D64eD71eD81eG64eNIBeNBZeZ64eP00vPC64 LNX CRTvSIDv");
}

// The tape name has 24 bytes in the header, of which 23 are read.
const std::string kTape = "DEMO TAPE NUMBER ONE 01";
const std::string kOddName("\xA0\0\"Q,\r\x01zz      ab", 16);

std::string T64Line(std::string entry, std::int64_t load, std::int64_t size, std::int64_t crc) {
  entry.resize(16, ' ');
  return CsvLine("t.t64", kTape, entry, load, size, crc, ToHex(kTape), ToHex(entry));
}

// A tape of four entries, the first GOOD, changed by `edit`.
Bytes Tape(void (*edit)(T64Builder&)) {
  T64Builder tape(kTape + "X", 4);
  tape.AddProgram("GOOD", Program(2049, 10));
  edit(tape);
  return tape.bytes();
}

TEST(Readers, T64) {
  const std::string good = T64Line("GOOD", 2049, 10, Sum(Program(2049, 10), 2));
  std::vector<Row> rows = {
      // Directory order; fields as they stand: equal and reversed addresses,
      // every name byte.
      {Tape([](T64Builder& t) {
         t.bytes().resize(70000, 1), t.SetCount(4), t.PutEntry(2, 2049, 2049, 1000, "SAME");
         t.PutEntry(3, 2049, 2048, 1000, "BACK"), t.PutEntry(4, 0, 3, 1000, kOddName);
       }),
       good + T64Line("SAME", 2049, 0, 0) + T64Line("BACK", 2049, 65535, 65535) + T64Line(kOddName, 0, 3, 3)},
      // The data offset is the whole 32-bit field.
      {Tape([](T64Builder& t) {
         t.bytes().resize(0x12345 + 10, 0), t.bytes()[0x12345] = 7, t.bytes()[0x2345] = 100;
         t.SetCount(2), t.PutEntry(2, 2049, 2050, 0x12345, "HIGH");
       }),
       good + T64Line("HIGH", 2049, 1, 7)},
      {Tape([](T64Builder& t) { t.bytes().resize(62); }), "", 100},
      {Tape([](T64Builder& t) { t.bytes().resize(63), t.SetCount(0); }), ""},
      // A free slot within the count.
      {Tape([](T64Builder& t) { t.SetCount(2); }), good + T64Line(std::string(16, '\0'), 0, 0, 0)},
      // A count of 65535 on a file cut in the directory.
      {Tape([](T64Builder& t) { t.bytes().resize(t.EntryPosition(3) + 4), t.SetCount(65535); }), "", 100},
      {Tape([](T64Builder& t) { t.SetCount(2), t.PutEntry(2, 2049, 2048, 64, "BACK"); }), good, 100},
      // No data bytes, at an offset beyond the end.
      {Tape([](T64Builder& t) { t.SetCount(2), t.PutEntry(2, 5, 5, 0xFFFFFFF0u, "NONE"); }),
       good + T64Line("NONE", 5, 0, 0)},
  };
  // Bytes that are not read never change the report.
  for (const std::size_t at : {0u, 20u, 35u, 38u, 39u, 63u, 64u, 65u, 70u, 71u, 76u, 79u}) {
    rows.push_back({Tape([](T64Builder&) {}), good});
    rows.back().bytes[at] ^= 0x5A;
  }
  CheckAll(ReadT64, "t.t64", rows);
}

// The report of a Lynx program whose own bytes are `bytes`, named as stored.
std::string LnxLine(std::string_view name, const Bytes& bytes) {
  return CsvLine("t.lnx", "t.lnx", ToPrintable(name), bytes[0] | bytes[1] << 8,
                 static_cast<std::int64_t>(bytes.size() - 2) % 65536, Sum(bytes, 2), ToHex("t.lnx"), ToHex(name));
}

const std::string kLongName = "A LONG NAME\xA0\x01" + std::string(241, 'N');

// The archive with its directory lines changed by `edit`, the data after them
// however long they have grown.
Bytes Lynx(const LynxBuilder& lynx, void (*edit)(Lines&)) {
  Lines lines = lynx.Lines();
  edit(lines);
  std::size_t size = LynxBuilder::Stub().size();
  for (const auto& line : lines) size += line.size() + 1;
  return lynx.Build(lines, std::max(lynx.DirectoryBlocks(), (size + 253) / 254));
}

TEST(Readers, Lynx) {
  const Bytes first = Program(2049, 600, 1), exact = Program(4096, 252, 2), last = Program(0xC000, 70000, 3);
  LynxBuilder types;  // programs in three blocks (the last part used), one block, many
  types.Add("FIRST", 'P', first);
  types.Add("NOTES", 'S', Bytes(300, 7));
  types.Add("EXACT", 'P', exact);
  types.Add("USER", 'U', Bytes(10, 8));
  types.Add("GONE", 'D', Bytes(20, 9));
  types.Add("REL", 'R', Bytes(100, 5), 32);
  types.Add("LAST", 'P', last);
  types.Add("RECORDS", 'R', Bytes(500, 10), 64);
  const std::string programs =
      LnxLine(PaddedName("FIRST"), first) + LnxLine(PaddedName("EXACT"), exact) + LnxLine(PaddedName("LAST"), last);
  // Two programs: lines 2-5 and 6-9 are their name, blocks, type and last.
  const Bytes p1 = Program(2049, 400, 1), p2 = Program(4096, 100, 2);  // two blocks, one
  LynxBuilder two;
  two.Add("ONE", 'P', p1);
  two.Add("TWO", 'P', p2);
  const std::string one = LnxLine(PaddedName("ONE"), p1), both = one + LnxLine(PaddedName("TWO"), p2);
  // Programs are read in batches after their directory entries: damage in
  // the directory or the data keeps every report before it.
  LynxBuilder many;
  std::string first400, first500, all;
  for (int i = 0; i < 600; ++i) {
    const Bytes program = Program(2049, static_cast<std::size_t>(i % 200), static_cast<std::uint32_t>(i));
    many.Add("P" + std::to_string(i), 'P', program);
    (i < 400 ? first400 : i < 500 ? first500 : all) += LnxLine(PaddedName("P" + std::to_string(i)), program);
  }
  first500.insert(0, first400), all.insert(0, first500);
  const Bytes whole = many.Build();
  // Up to the signature line, anything amiss means not a Lynx archive.
  const Bytes stub = LynxBuilder::Stub();
  const auto withStub = [&stub](std::string_view text) {
    Bytes bytes = stub;
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
  };
  const std::string notC64 = "!Error: t.lnx is not C64 file.\r\n";
  Bytes atari = ToBytes(std::string_view("LYNX\0\x02\0\0\x01\0GAME", 14));
  atari.resize(2000, 0);
  Bytes tooLong = withStub(" 1  *LYNX\r 0 \r");
  tooLong.insert(tooLong.begin() + 6, 65536, 'x');  // the BASIC program runs past the C64's memory
  Bytes noReturn = withStub(" 1  *LYNX\r 0 \r");
  noReturn[stub.size() - 1] = ' ';  // after the BASIC program's three zero bytes
  Bytes twoZeros = withStub(" 1  *LYNX\r 0 \r");
  twoZeros[stub.size() - 4] = 1;  // a carriage return after two zero bytes only
  CheckAll(
      ReadLnx, "t.lnx",
      {// Other types passed over, a REL file's record length too; a REL file
       // last, without its last line, ends the directory after its record length.
       {types.Build(), programs},
       {Lynx(types, [](Lines& l) { l.pop_back(); }), programs},
       {whole, all},
       // The last hundred programs' data cut; program 400's blocks not a number.
       {Cut(whole, whole.size() - 254 * 100), first500, 100},
       {Lynx(many, [](Lines& l) { l[2 + 4 * 400 + 1] = "X"; }), first400, 100},
       // Damage after the signature line ends the run (100).
       {Lynx(two, [](Lines& l) { l[0] = "1 *LYNX", l[1] = "002", l[3] = "   0002   ", l[5] = "149"; }), both},
       {Lynx(two, [](Lines& l) { l[0] = " 01  ultimate lynx ", l[4] = "p", l[8] = " P "; }), both},
       // The last file's last line left out: its whole block, as far as the archive holds it.
       {Lynx(two, [](Lines& l) { l.pop_back(); }), one + LnxLine(PaddedName("TWO"), Cut(p2, 254))},
       {Cut(Lynx(two, [](Lines& l) { l.pop_back(); }), 3 * 254 + 60), one + LnxLine(PaddedName("TWO"), Cut(p2, 60))},
       {withStub(" 1  *LYNX\r 0 \r"), ""},
       {Lynx(two, [](Lines& l) { l[0] = " *LYNX"; }), "", 100},
       {Lynx(two, [](Lines& l) { l[1] = " 2X "; }), "", 100},
       // A count larger than the directory holds, overflowing 64 bits.
       {Lynx(two, [](Lines& l) { l[1] = " 99999999999999999999999 "; }), both, 100},
       {Lynx(two, [](Lines& l) { l[7] = "  "; }), one, 100},
       {Lynx(two, [](Lines& l) { l[5] = " P "; }), "", 100},  // a last line that is no number
       {Lynx(two, [](Lines& l) { l[0] = " 36893488147419103232 *LYNX"; }), "", 100},
       {Lynx(two, [](Lines& l) { l[0] = " 0 *LYNX"; }), "", 100},  // data over the directory
       {Lynx(two, [](Lines& l) { l[7] = " 18446744073709551617 "; }), one, 100},
       {Lynx(two, [](Lines& l) { l[5] = " 256 "; }), "", 100},  // the last byte past the file's blocks
       {Lynx(two, [](Lines& l) { l[9] = " 18446744073709551617 "; }), one, 100},
       {Lynx(two, [](Lines& l) { l[3] = " 0 "; }), "", 100},
       // One byte of its own: no load address.
       {Lynx(two, [](Lines& l) { l[9] = " 2 "; }), one, 100},
       // The longest name line read, as stored; one byte longer.
       {Lynx(two, [](Lines& l) { l[0] = " 2  *LYNX", l[6] = kLongName; }), one + LnxLine(kLongName, p2)},
       {Lynx(two, [](Lines& l) { l[0] = " 2  *LYNX", l[6] = kLongName + "N"; }), one, 100},
       {Cut(two.Build(), 3 * 254 + 50), one, 100},  // TWO's first 50 bytes
       {Cut(two.Build(), 80), "", 100},             // the directory cut short
       {{}, notC64},
       {{1, 8}, notC64},
       {atari, notC64},
       {Cut(stub, stub.size() - 4), notC64},
       {tooLong, notC64},
       {noReturn, notC64},
       {twoZeros, notC64},
       {withStub(" 1  *LYNX XV"), notC64},
       {withStub(" 1  *LINX\r 0 \r"), notC64},
       {withStub(" 1 " + std::string(300, ' ') + "LYNX\r 0 \r"), notC64}});
  // Long blocks carry a blank marker, as a tape archive's.
  EXPECT_NE(RunReader(ReadLnx, types.Build(), "t.lnx", Layout::kLong).output.find(":  t.lnx\r\nFilename     :  FIRST"),
            std::string::npos);
}

// T64 and Lynx: a program's bytes past the end of the file; a directory cut
// by it.
TEST(Readers, KeepGoingPastADamagedProgram) {
  const Bytes good = Program(0x0801, 100, 1), victim = Program(0x0801, 3000, 2);
  T64Builder tape("TAPE", 3);
  tape.AddProgram("GOOD", good), tape.AddProgram("VICTIM", victim), tape.AddProgram("AFTER", good);
  Bytes moved = tape.bytes();
  moved[64 + 32 + 8] = 0xFF;  // VICTIM's data offset: 255 more than the file holds
  const std::string size = std::to_string(moved.size());
  const std::string kept = RunReader(ReadT64, moved, "t.t64", Layout::kCsv, {}, true).output;
  const std::size_t victimAt = static_cast<std::size_t>(moved[64 + 32 + 8] | moved[64 + 32 + 9] << 8);
  EXPECT_NE(kept.find("!Error: t.t64: VICTIM: bytes " + std::to_string(victimAt) + " to " +
                      std::to_string(victimAt + victim.size() - 2) + " lie beyond the end of the file (" + size +
                      " bytes)\r\n\"t.t64\""),
            std::string::npos)
      << kept;
  Bytes cut = tape.bytes();
  cut.resize(120);
  EXPECT_EQ(RunReader(ReadT64, cut, "t.t64", Layout::kCsv, {}, true).output,
            "!Error: t.t64: GOOD: bytes 160 to 260 lie beyond the end of the file (120 bytes)\r\n");
  EXPECT_EQ(RunReader(ReadT64, cut, "t.t64").status, 100);

  LynxBuilder lynx;
  lynx.Add("GOOD", 'P', good), lynx.Add("VICTIM", 'P', victim);
  Bytes archive = lynx.Build();
  archive.resize(archive.size() - 100);
  const ReaderResult lynxKept = RunReader(ReadLnx, archive, "l.lnx", Layout::kCsv, {}, true);
  EXPECT_TRUE(
      lynxKept.output.ends_with("!Error: l.lnx: VICTIM: bytes " + std::to_string(archive.size() + 100 - 254 * 12) +
                                " to " + std::to_string(archive.size() + 100 - 254 * 12 + victim.size()) +
                                " lie beyond the end of the file (" + std::to_string(archive.size()) + " bytes)\r\n"))
      << lynxKept.output;
}

// Runs `read` on a file of the given bytes; returns the failure status or 0.
template <typename Read>
int StatusOf(Bytes bytes, Read read) {
  InputFile in(std::move(bytes));
  try {
    read(in);
  } catch (const RunFailure& failure) {
    return failure.Code();
  }
  return 0;
}

TEST(Primitives, ReadsSeeksAndSums) {
  InputFile in(Bytes{1, 8, 255, 255, 0, 'A', 160, 13, '"', 'z'});
  EXPECT_EQ(in.ReadWord(), 2049);  // low byte first
  EXPECT_EQ(in.ReadWord(), 65535);
  EXPECT_EQ(in.ReadText(0), "");
  EXPECT_EQ(in.ReadText(5), std::string("\0A\xA0\r\"", 5));  // every byte as it stands
  in.SeekTo(2);
  EXPECT_EQ(in.SumBytes(4), 575u);  // unsigned bytes
  EXPECT_EQ(in.ReadByte(), 160);
  in.SeekTo(100);  // beyond the end: no failure until a read
  EXPECT_EQ(in.FileLength(), 10u);
  in.SeekTo(9);
  EXPECT_EQ(in.ReadByte(), 'z');
  in.SeekTo(1);
  EXPECT_EQ(in.ReadLong(), 0x00FFFF08u);  // low byte first
  // Reads that cannot deliver end the run with 100.
  EXPECT_EQ(StatusOf({}, [](InputFile& f) { f.ReadByte(); }), kReadFailure);
  EXPECT_EQ(StatusOf({1}, [](InputFile& f) { f.ReadWord(); }), kReadFailure);
  EXPECT_EQ(StatusOf({1, 2, 3, 4}, [](InputFile& f) { f.SeekTo(2), f.ReadText(3); }), kReadFailure);
  EXPECT_EQ(StatusOf({1, 2, 3}, [](InputFile& f) { f.SumBytes(4); }), kReadFailure);
  EXPECT_EQ(StatusOf({1, 2, 3}, [](InputFile& f) { f.SeekTo(0xFFFFFFFFu), f.SumBytes(1); }), kReadFailure);
  EXPECT_EQ(StatusOf({1, 2, 3}, [](InputFile& f) { f.SumBytes(0); }), 0);
}

// A file over the caller's buffer reads the bytes as they stand at each
// read, and never beyond the buffer.
TEST(Primitives, CallersBufferIsReadInPlace) {
  Bytes buffer(300, 0);
  InputFile in{std::span<const std::uint8_t>(buffer)};
  buffer[256] = 7;
  buffer[257] = 9;
  in.SeekTo(256);
  EXPECT_EQ(in.SumBytes(2), 16u);
  buffer[299] = 200;
  in.SeekTo(299);
  EXPECT_EQ(in.ReadByte(), 200);
  EXPECT_EQ(in.FileLength(), 300u);
  in.SeekTo(299);
  EXPECT_EQ(StatusOf({}, [&in](InputFile&) { in.ReadWord(); }), kReadFailure);
}

}  // namespace
}  // namespace zumtal
