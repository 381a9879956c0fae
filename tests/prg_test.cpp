#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

TEST(PrgReader, ReportsLoadAddressSizeAndSum) {
  const struct {
    const char* name;
    Bytes bytes;
    std::string expected;
  } cases[] = {
      {"GAME.PRG", Bytes{1, 8, 1, 2, 250},
       CsvLine("GAME.PRG", "GAME.PRG", "GAME", 2049, 3, 253, "47414D452E505247", "47414D45")},
      {"game.prg", Bytes{0, 0}, CsvLine("game.prg", "game.prg", "game", 0, 0, 0, "67616D652E707267", "67616D65")},
      {".prg", Bytes{255, 255, 7}, CsvLine(".prg", ".prg", "", 65535, 1, 7, "2E707267", "")},
      {"a b .prg", Bytes{1, 8}, CsvLine("a b .prg", "a b .prg", "a b ", 2049, 0, 0, "612062202E707267", "61206220")},
  };
  for (const auto& c : cases) {
    const auto result = RunReader(ReadPrg, c.bytes, c.name);
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_EQ(result.output, c.expected) << c.name;
  }
}

TEST(PrgReader, LoadAddressNeverEntersTheSum) {
  auto program = Program(2049, 1000);
  const auto first = RunReader(ReadPrg, program, "x.prg");
  program[0] = 0x34;
  program[1] = 0x12;
  const auto second = RunReader(ReadPrg, program, "x.prg");
  EXPECT_EQ(first.output.substr(first.output.find(",1000,")), second.output.substr(second.output.find(",1000,")));
}

TEST(PrgReader, SizeWrapsButSumCoversEveryByte) {
  // Larger than one read window too.
  const Bytes program(2 + 65536 + 300000, 1);
  const auto result = RunReader(ReadPrg, program, "big.prg");
  EXPECT_EQ(result.output,
            CsvLine("big.prg", "big.prg", "big", 257, (65536 + 300000) % 65536, 365536, "6269672E707267", "626967"));
}

TEST(PrgReader, TooShortForLoadAddressEndsRunWithoutReport) {
  for (const Bytes& bytes : {Bytes{}, Bytes{1}}) {
    const auto result = RunReader(ReadPrg, bytes, "x.prg");
    EXPECT_EQ(result.status, 100);
    EXPECT_EQ(result.output, "");
  }
}

}  // namespace
}  // namespace zumtal
