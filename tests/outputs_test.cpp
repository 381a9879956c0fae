// The --dat document, and the JSON strings of every JSON output. (The end-to-
// end runs check every DAT they write against the DTD, and hold the
// --duplicates lists.)
#include <gtest/gtest.h>

#include <optional>

#include "report/dat_writer.h"
#include "report/text_encoding.h"
#include "support/harness.h"

namespace zumtal {
namespace {

ProgramHashes Hashes(std::uint8_t seed) { return {0xABCD0000u | seed, {seed}, {seed}}; }

void Add(DatWriter& dat, std::string_view file, std::string_view entry, std::uint64_t size, std::uint8_t seed) {
  dat.AddRom({std::string(file), "IMAGE", std::string(entry), 2049, size, 0, "", ""}, Hashes(seed));
}

std::string Rom(std::string_view name, std::uint64_t size, std::uint8_t seed) {
  const ProgramHashes d = Hashes(seed);
  return "\t\t<rom name=\"" + std::string(name) + "\" size=\"" + std::to_string(size) + "\" crc=\"" +
         LowerHex(d.crc32) + "\" md5=\"" + LowerHex(d.md5) + "\" sha1=\"" + LowerHex(d.sha1) + "\"/>\r\n";
}

std::string Game(const std::string& name, const std::string& roms) {
  return "\t<game name=\"" + name + "\">\r\n\t\t<description>" + name + "</description>\r\n" + roms + "\t</game>\r\n";
}

// A document after its header (the end-to-end golden files hold the header's bytes).
std::string Body(const Output& out) { return out.Text().substr(out.Text().find("</header>\r\n") + 11); }

TEST(DatWriter, GamesRomsAndComments) {
  Output gamesOut, failedOut, emptyOut;
  DatWriter games(gamesOut, "1.2.3"), failed(failedOut, "1.2.3"), empty(emptyOut, "1.2.3");
  games.Comment("!Error: readme.txt is not C64 file.");
  Add(games, "games.d64", "INVADERS        ", 5000, 1);
  Add(games, "games.d64", "invaders", 10, 2);
  Add(games, "games.d64", "INVADERS\xA0\xA0", 10, 3);
  Add(games, "games.d64", "  ", 0, 4);
  games.Comment("!Error: games.d64: a--b---");
  Add(games, "games.d64", "A/B:C*D?E\"F<G>H|I\\J\x01", 1, 5);
  games.EndContainer();
  Add(games, "games.d64", "", 0, 6);  // the same name again, for the next container: a game of its own
  games.EndContainer();
  games.EndContainer();
  Add(games, "R&D <\"1\">\t\n\r\xC3\xA9\xFF\x02.prg", "R&D <\"1\">\xC3\xA9\xFF\x02", 3, 7);
  Add(games, "GAMES.D64", "\xC3\xA0", 3, 8);  // another name: a new game, without EndContainer
  games.Finish();
  EXPECT_EQ(Body(gamesOut), "\t<!-- !Error: readme.txt is not C64 file. -->\r\n" +
                                Game("games.d64", Rom("INVADERS.prg", 5002, 1) + Rom("invaders (2).prg", 12, 2) +
                                                      Rom("INVADERS (3).prg", 12, 3) + Rom("noname.prg", 2, 4) +
                                                      "\t\t<!-- !Error: games.d64: a- -b- - - -->\r\n" +
                                                      Rom("A_B_C_D_E_F_G_H_I_J_.prg", 3, 5)) +
                                Game("games.d64 (2)", Rom("noname.prg", 2, 6)) +
                                Game("R&amp;D &lt;&quot;1&quot;&gt;&#9;&#10;&#13;\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD.prg",
                                     Rom("R&amp;D __1__\xC3\xA9\xEF\xBF\xBD_.prg", 5, 7)) +
                                Game("GAMES.D64 (3)", Rom("\xC3\xA0.prg", 5, 8)) + "</datafile>\r\n");
  // A run-ending failure inside a game.
  Add(failed, "cut.d64", "A", 1, 1);
  failed.Fail(std::vector<std::string>{"Runtime error 100", "  0x1234", ""});  // empty lines left out
  failed.Finish();
  EXPECT_EQ(Body(failedOut),
            Game("cut.d64", Rom("A.prg", 3, 1)) + "\t<!-- Runtime error 100\r\n\t  0x1234 -->\r\n</datafile>\r\n");
  empty.Finish();
  EXPECT_EQ(Body(emptyOut), "</datafile>\r\n");
}

TEST(DatWriter, RomStems) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"   \xA0\xA0", "noname"},
      {std::string_view("  G\0\t\n\r\x1F", 8), "  G_____"},
      {"G\240E\xC3\xA0", "G\357\277\275E\xC3\xA0"},  // a lone $A0 inside; a last byte $A0 but no blank
      {"\xFF\xEF\xBF\xBE\xC4\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD\xC4\xAF"},  // U+012F is no '/'
  };
  for (const auto& [entry, stem] : cases) EXPECT_EQ(RomStem(entry), stem) << entry;
}

// The one JSON string encoder. '#' stands for U+FFFD, which takes the place
// of each byte outside a well-formed UTF-8 sequence.
TEST(JsonText, Utf8RuleAndEscapes) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"plain ~ \"\\/", "\"plain ~ \\\"\\\\/\""},
      {std::string_view("\0\x01\b\f\n\r\t\x1F\x7F", 9), "\"\\u0000\\u0001\\b\\f\\n\\r\\t\\u001f\x7F\""},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
      {"a\xE9z \xC0\xAF", "\"a#z ##\""},                  // a lone lead byte; overlong
      {"\xED\xA0\x80 \xF4\x90\x80\x80", "\"### ####\""},  // surrogate; past U+10FFFF
      {"\xE2\x82\xC3\xA9\xE2\x82", "\"##\xC3\xA9##\""},   // cut short, before a character and at the end
      {"\x80\xA0\xF5\xFF", "\"####\""},                   // lone continuations, PETSCII
  };
  for (const auto& [bytes, expected] : cases) {
    std::string want = expected;
    for (std::size_t at; (at = want.find('#')) != std::string::npos;) want.replace(at, 1, "\xEF\xBF\xBD");
    std::string json;
    AppendJsonString(json, bytes);
    EXPECT_EQ(json, want) << ToHex(bytes);
    EXPECT_EQ(IsValidUtf8(bytes), expected.find('#') == std::string::npos) << ToHex(bytes);
  }
}

// The hex names read back into bytes: what ToHex writes, and nothing else.
TEST(HexText, BackToBytes) {
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"", ""},
      {"00A0FF7e", std::nullopt},  // lower case is not written
      {"4F52A0", "OR\xA0"},
      {"4F5", std::nullopt},
      {"4G", std::nullopt},
      {"0x", std::nullopt},
  };
  for (const auto& [hex, expected] : cases) {
    std::string bytes;
    EXPECT_EQ(FromHex(hex, bytes), expected.has_value()) << hex;
    if (expected) {
      EXPECT_EQ(bytes, *expected) << hex;
      EXPECT_EQ(ToHex(bytes), hex);
    }
  }
}

}  // namespace
}  // namespace zumtal
