#include "report/dat_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

namespace zumtal {
namespace {

ProgramDigests Digests(std::uint8_t seed) {
  ProgramDigests digests;
  digests.crc32 = 0xABCD0000u | seed;
  digests.md5[15] = seed;
  digests.sha1[19] = seed;
  return digests;
}

EntryReport Program(std::string_view file, std::string_view entry, std::uint64_t size) {
  return {std::string(file), "IMAGE", std::string(entry), 2049, size, 0, "", ""};
}

std::string Rom(std::string_view name, std::uint64_t size, std::uint8_t seed) {
  return "\t\t<rom name=\"" + std::string(name) + "\" size=\"" + std::to_string(size) + "\" crc=\"abcd00" +
         (seed < 16 ? "0" : "") + (std::ostringstream() << std::hex << int{seed}).str() + "\" md5=\"" +
         LowerHex(Digests(seed).md5) + "\" sha1=\"" + LowerHex(Digests(seed).sha1) + "\"/>\r\n";
}

const std::string kHeader =
    "<?xml version=\"1.0\"?>\r\n"
    "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
    "\"http://www.logiqx.com/Dats/datafile.dtd\">\r\n"
    "<datafile>\r\n\t<header>\r\n\t\t<name>zumtal</name>\r\n"
    "\t\t<description>Commodore 64 programs catalogued by zumtal</description>\r\n"
    "\t\t<version>1.2.3</version>\r\n\t\t<author>zumtal</author>\r\n\t</header>\r\n";

struct Verdict {
  bool passes;
  std::string messages;
};

// xmllint's verdict on a document: well-formed, and valid against the
// datafile DTD when asked.
Verdict Xmllint(const std::string& document, bool validate) {
  const std::string path = ::testing::TempDir() + "zumtal-dat-test.xml";
  std::ofstream(path, std::ios::binary) << document;
  const std::string dtd = validate ? std::string(" --dtdvalid ") + ZUMTAL_TEST_DATA "/datafile.dtd" : "";
  Verdict verdict;
  verdict.passes = std::system(("xmllint --noout --nonet" + dtd + " " + path + " >" + path + ".log 2>&1").c_str()) == 0;
  std::ifstream log(path + ".log");
  verdict.messages.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  std::remove((path + ".log").c_str());
  return verdict;
}

TEST(DatWriter, DocumentsAreWellFormedAndValid) {
  const struct {
    const char* what;
    std::function<void(DatWriter&)> feed;
    std::string document;
    bool valid;  // against the DTD, which asks for at least one game
  } cases[] = {
      {"games, names and comments",
       [](DatWriter& dat) {
         dat.Comment("!Error: readme.txt is not C64 file.");
         dat.AddRom(Program("games.d64", "INVADERS        ", 5000), Digests(1));
         dat.AddRom(Program("games.d64", "invaders", 10), Digests(2));
         dat.AddRom(Program("games.d64", "INVADERS\xA0\xA0", 10), Digests(3));
         dat.AddRom(Program("games.d64", "  ", 0), Digests(4));
         dat.Comment("!Error: games.d64: a--b---");
         dat.AddRom(Program("games.d64", "A/B:C*D?E\"F<G>H|I\\J\x01", 1), Digests(5));
         dat.EndContainer();
         dat.AddRom(Program("empty.t64", "", 0), Digests(6));  // a new name opens a new game
         dat.EndContainer();
         dat.EndContainer();
         dat.AddRom(Program("games.d64", "X", 1), Digests(7));
         dat.EndContainer();
         dat.AddRom(Program("R&D <\"1\">\xC3\xA9\xFF\x02.prg", "R&D <\"1\">\xC3\xA9\xFF\x02", 3), Digests(8));
         dat.AddRom(Program("GAMES.D64", "\xC3\xA0", 3), Digests(9));
         dat.Finish();
       },
       kHeader + "\t<!-- !Error: readme.txt is not C64 file. -->\r\n" +
           "\t<game name=\"games.d64\">\r\n\t\t<description>games.d64</description>\r\n" +
           Rom("INVADERS.prg", 5002, 1) + Rom("invaders (2).prg", 12, 2) + Rom("INVADERS (3).prg", 12, 3) +
           Rom("noname.prg", 2, 4) + "\t\t<!-- !Error: games.d64: a- -b- - - -->\r\n" +
           Rom("A_B_C_D_E_F_G_H_I_J_.prg", 3, 5) + "\t</game>\r\n" +
           "\t<game name=\"empty.t64\">\r\n\t\t<description>empty.t64</description>\r\n" + Rom("noname.prg", 2, 6) +
           "\t</game>\r\n" + "\t<game name=\"games.d64 (2)\">\r\n\t\t<description>games.d64 (2)</description>\r\n" +
           Rom("X.prg", 3, 7) + "\t</game>\r\n" +
           "\t<game name=\"R&amp;D &lt;&quot;1&quot;&gt;\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD.prg\">\r\n"
           "\t\t<description>R&amp;D &lt;&quot;1&quot;&gt;\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD.prg</description>\r\n" +
           Rom("R&amp;D __1__\xC3\xA9\xEF\xBF\xBD_.prg", 5, 8) + "\t</game>\r\n" +
           "\t<game name=\"GAMES.D64 (3)\">\r\n\t\t<description>GAMES.D64 (3)</description>\r\n" +
           Rom("\xC3\xA0.prg", 5, 9) + "\t</game>\r\n</datafile>\r\n",
       true},
      {"a run-ending failure inside a game",
       [](DatWriter& dat) {
         dat.AddRom(Program("cut.d64", "A", 1), Digests(1));
         dat.Fail(std::vector<std::string>{"Runtime error 100 at 0x00001234", "  0x00001234", ""});
         dat.Finish();
       },
       kHeader + "\t<game name=\"cut.d64\">\r\n\t\t<description>cut.d64</description>\r\n" + Rom("A.prg", 3, 1) +
           "\t</game>\r\n\t<!-- Runtime error 100 at 0x00001234\r\n\t  0x00001234 -->\r\n</datafile>\r\n",
       true},
      {"no program", [](DatWriter& dat) { dat.Finish(); }, kHeader + "</datafile>\r\n", false},
  };
  const bool haveXmllint = std::system("xmllint --version >/dev/null 2>&1") == 0;
  for (const auto& c : cases) {
    Output out;
    DatWriter dat(out, "1.2.3");
    c.feed(dat);
    EXPECT_EQ(out.Text(), c.document) << c.what;
    if (haveXmllint) {
      const Verdict wellFormed = Xmllint(out.Text(), false);
      EXPECT_TRUE(wellFormed.passes) << c.what << "\n" << wellFormed.messages;
      const Verdict valid = Xmllint(out.Text(), true);
      EXPECT_EQ(valid.passes, c.valid) << c.what << "\n" << valid.messages;
    }
  }
  if (!haveXmllint) {
    GTEST_SKIP() << "xmllint (Debian libxml2-utils) is not installed: documents not checked";
  }
}

TEST(DatWriter, RomStems) {
  const struct {
    std::string_view entry;
    std::string_view stem;
  } cases[] = {
      {"GAME            ", "GAME"},
      {"  GAME", "  GAME"},
      {"", "noname"},
      {"   \xA0\xA0", "noname"},
      {"GAME\xA0 \xA0", "GAME"},
      {"G\xA0"
       "E",
       "G\xEF\xBF\xBD"
       "E"},
      {"\xC3\xA0", "\xC3\xA0"},  // its last byte is $A0 but no blank
      {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
      {std::string_view("\0\t\n\r\x1F", 5), "_____"},
      {"\xFF\xEF\xBF\xBE\xC4\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD\xC4\xAF"},  // U+012F is no '/'
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RomStem(c.entry), c.stem) << c.entry;
  }
}

}  // namespace
}  // namespace zumtal
