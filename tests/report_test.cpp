#include <gtest/gtest.h>

#include "report/entry_report.h"

namespace zumtal {
namespace {

std::string Write(const EntryReport& report, Container container, bool longMode) {
  Output out;
  ReportWriter writer(out, longMode);
  writer.WriteEntryReport(report, container);
  return out.Text();
}

EntryReport Game() { return {"GAME.PRG", "GAME.PRG", "GAME", 2049, 100, 1234, "47414D452E505247", "47414D45"}; }

TEST(EntryReport, CsvLinesOfEachContainer) {
  const EntryReport t64{"demo.t64",
                        "DEMO TAPE NUMBER ONE 01",
                        "FIRST PROGRAM 01",
                        2049,
                        100,
                        1234,
                        "44454D4F2054415045204E554D424552204F4E45203031",
                        "46495253542050524F4752414D203031"};
  const EntryReport d64{"games.d64",
                        "GAMES           ",
                        "GAME            ",
                        2049,
                        100,
                        1234,
                        "47414D4553A0A0A0A0A0A0A0A0A0A0A0",
                        "47414D45A0A0A0A0A0A0A0A0A0A0A0A0"};
  EXPECT_EQ(Write(Game(), Container::kPrg, false),
            "\"GAME.PRG\",\"GAME.PRG\",\"GAME\",2049,100,1234,\"47414D452E505247\",\"47414D45\"\r\n");
  EXPECT_EQ(Write(t64, Container::kT64, false),
            "\"demo.t64\",\"DEMO TAPE NUMBER ONE 01\",\"FIRST PROGRAM 01\",2049,100,1234,"
            "\"44454D4F2054415045204E554D424552204F4E45203031\",\"46495253542050524F4752414D203031\"\r\n");
  EXPECT_EQ(Write(d64, Container::kD64, false),
            "\"games.d64\",\"GAMES           \",\"GAME            \",2049,100,1234,"
            "\"47414D4553A0A0A0A0A0A0A0A0A0A0A0\",\"47414D45A0A0A0A0A0A0A0A0A0A0A0A0\"\r\n");
}

TEST(EntryReport, LongBlockMarkersByContainer) {
  const struct {
    Container container;
    const char* marker;
  } cases[] = {{Container::kPrg, "v "}, {Container::kT64, "  "}, {Container::kD64, "e "}};
  for (const auto& c : cases) {
    EXPECT_EQ(Write(Game(), c.container, true), std::string("Dos filename :  GAME.PRG\r\n") + "Image name   :" +
                                                    c.marker + "GAME.PRG\r\nFilename     :" + c.marker +
                                                    "GAME\r\nLoad address :% 2049\r\nSize         :% 100\r\n"
                                                    "Rawcrc       :% 1234\r\n");
  }
}

TEST(EntryReport, ValuesGoOutAsTheyStand) {
  // Quotes, commas and zero bytes unescaped; extreme numbers; negative CRC.
  const EntryReport odd{std::string("a\",b\0.prg", 9), "", "", 65535, 0, -2147483647 - 1, "", ""};
  EXPECT_EQ(Write(odd, Container::kPrg, false),
            std::string("\"a\",b\0.prg\",\"\",\"\",65535,0,-2147483648,\"\",\"\"\r\n", 45));
}

}  // namespace
}  // namespace zumtal
