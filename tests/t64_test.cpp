#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

const std::string kTape = "DEMO TAPE NUMBER ONE 01";

std::string Line(std::string_view entry, std::int64_t load, std::int64_t size, std::int64_t crc,
                 std::string_view tape = kTape) {
  return CsvLine("t.t64", tape, entry, load, size, crc, ToHex(tape), ToHex(entry));
}

TEST(T64Reader, ReportsEveryEntryInDirectoryOrder) {
  T64Builder tape(kTape + "X");
  const Bytes first = Program(2049, 512, 1);
  const Bytes second = Program(4096, 100, 2);
  tape.AddProgram("FIRST PROGRAM 01", first);
  tape.AddProgram("SECOND", second);
  const auto result = RunReader(ReadT64, tape.bytes(), "t.t64");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output,
            Line("FIRST PROGRAM 01", 2049, 512, Sum(first, 2)) + Line("SECOND          ", 4096, 100, Sum(second, 2)));
}

TEST(T64Reader, EntryFieldsAsTheyStand) {
  const std::string oddName("\xA0\0\"Q,\r\x01zz      ab", 16);
  const struct {
    const char* what;
    std::uint16_t start, end;
    std::string name;
    std::int64_t size;
  } cases[] = {
      {"equal addresses", 2049, 2049, "SAME", 0},
      {"reversed addresses wrap", 2049, 2048, "BACK", 65535},
      {"odd name bytes", 0, 3, oddName, 3},
  };
  for (const auto& c : cases) {
    T64Builder tape(kTape, 1);
    tape.bytes().resize(64 + 32 + 70000, 1);
    tape.PutEntry(1, c.start, c.end, 64 + 32, c.name);
    tape.SetCount(1);
    std::string name = c.name;
    name.resize(16, ' ');
    EXPECT_EQ(RunReader(ReadT64, tape.bytes(), "t.t64").output, Line(name, c.start, c.size, c.size)) << c.what;
  }
}

TEST(T64Reader, DataOffsetIsTheWhole32BitField) {
  T64Builder tape(kTape);
  tape.bytes().resize(0x12345 + 10, 0);
  tape.bytes()[0x12345] = 7;
  tape.bytes()[0x2345] = 100;  // where the low half alone would point
  tape.PutEntry(1, 2049, 2050, 0x12345, "HIGH");
  tape.SetCount(1);
  EXPECT_EQ(RunReader(ReadT64, tape.bytes(), "t.t64").output, Line("HIGH            ", 2049, 1, 7));
}

TEST(T64Reader, UnreadBytesNeverChangeTheReport) {
  T64Builder tape(kTape);
  tape.AddProgram("P", Program(2049, 50));
  const auto expected = RunReader(ReadT64, tape.bytes(), "t.t64").output;
  for (const std::size_t at : {0u, 20u, 35u, 38u, 39u, 63u, 64u, 65u, 70u, 71u, 76u, 79u}) {
    Bytes bytes = tape.bytes();
    bytes[at] ^= 0x5A;
    EXPECT_EQ(RunReader(ReadT64, bytes, "t.t64").output, expected) << at;
  }
}

TEST(T64Reader, ShortEmptyAndDamagedArchives) {
  const std::string zeros(16, '\0');
  const std::string freeSlot = Line(zeros, 0, 0, 0);
  const Bytes program = Program(2049, 10);
  const std::string good = Line("GOOD            ", 2049, 10, Sum(program, 2));
  const struct {
    const char* what;
    void (*damage)(T64Builder&);
    std::string output;
    int status;
  } cases[] = {
      {"62 bytes", [](T64Builder& t) { t.bytes().resize(62); }, "", 100},
      {"63 bytes, count 0", [](T64Builder& t) { t.bytes().resize(63), t.SetCount(0); }, "", 0},
      {"count 0 before entries", [](T64Builder& t) { t.SetCount(0); }, "", 0},
      {"free slot within the count", [](T64Builder& t) { t.SetCount(2); }, good + freeSlot, 0},
      {"count 65535 on a file cut in the directory",
       [](T64Builder& t) { t.bytes().resize(t.EntryPosition(3) + 4), t.SetCount(65535); }, "", 100},
      {"reversed addresses, data missing", [](T64Builder& t) { t.SetCount(2), t.PutEntry(2, 2049, 2048, 64, "BACK"); },
       good, 100},
      {"size 0 with data offset beyond the end",
       [](T64Builder& t) { t.SetCount(2), t.PutEntry(2, 5, 5, 0xFFFFFFF0u, "NONE"); },
       good + Line("NONE            ", 5, 0, 0), 0},
  };
  for (const auto& c : cases) {
    T64Builder tape(kTape, 4);
    tape.AddProgram("GOOD", program);
    c.damage(tape);
    const auto result = RunReader(ReadT64, tape.bytes(), "t.t64");
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.output, c.output) << c.what;
  }
}

}  // namespace
}  // namespace zumtal
