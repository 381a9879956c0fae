#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

TEST(P00Reader, ReportsTheProgramUnderItsStoredName) {
  const Bytes program = Program(2049, 300, 3);
  const Bytes big = Program(4096, 70000, 4);
  const std::string zeros = std::string("GAME") + std::string(12, '\0');
  const std::string odd("\x01\"Q,\x7F\x80\xFFz01234567", 16);
  const struct {
    const char* what;
    Bytes bytes;
    std::string expected;
  } cases[] = {
      {"zero-padded name", P00File("GAME", program),
       CsvLine("game.p00", "game.p00", "GAME            ", 2049, 300, Sum(program, 2), ToHex("game.p00"),
               ToHex(zeros))},
      {"$A0-padded name", P00File(PaddedName("GAME"), program),
       CsvLine("game.p00", "game.p00", "GAME            ", 2049, 300, Sum(program, 2), ToHex("game.p00"),
               ToHex(PaddedName("GAME")))},
      {"unprintable name bytes", P00File(odd, program),
       CsvLine("game.p00", "game.p00", " \"Q,\x7F  z01234567", 2049, 300, Sum(program, 2), ToHex("game.p00"),
               ToHex(odd))},
      {"size modulo 65536", P00File("GAME", big),
       CsvLine("game.p00", "game.p00", "GAME            ", 4096, 70000 - 65536, Sum(big, 2), ToHex("game.p00"),
               ToHex(zeros))},
  };
  for (const auto& c : cases) {
    const auto result = RunReader(ReadP00, c.bytes, "game.p00");
    EXPECT_EQ(result.status, 0) << c.what;
    EXPECT_EQ(result.output, c.expected) << c.what;
  }
  EXPECT_NE(RunReader(ReadP00, P00File("GAME", program), "game.p00", Layout::kLong).output.find("Filename     :v GAME"),
            std::string::npos);
}

TEST(P00Reader, ShorterThan28BytesEndsTheRunWithoutReport) {
  for (const std::size_t length : {0u, 8u, 24u, 26u, 27u}) {
    Bytes bytes = P00File("GAME", Program(2049, 10));
    bytes.resize(length);
    const auto result = RunReader(ReadP00, bytes, "x.p00");
    EXPECT_EQ(result.status, 100) << length;
    EXPECT_EQ(result.output, "") << length;
  }
}

TEST(ReaderTable, ExactKeysFirstThenPc64Numbers) {
  const struct {
    std::vector<std::string_view> keys;
    Reader reader;
  } cases[] = {
      {{".PRG"}, ReadPrg},
      {{".D64"}, ReadD64},
      {{".LNX"}, ReadLnx},
      {{".P00", ".P99"}, ReadP00},
      {{".S00", ".U17", ".R42", ".D00", ".D65"}, ReadPc64NonProgram},
      {{".P0A", ".PA0", ".Q00", "XP00", "P00", ".P00 "}, nullptr},
  };
  for (const auto& c : cases) {
    for (const auto key : c.keys) {
      EXPECT_EQ(FindReader(key), c.reader) << key;
    }
  }
  // Disk images, whatever reads them, are never PC64 deleted files.
  for (const char* key : {".D71", ".D81"}) {
    EXPECT_NE(FindReader(key), ReadPc64NonProgram) << key;
  }
}

}  // namespace
}  // namespace zumtal
