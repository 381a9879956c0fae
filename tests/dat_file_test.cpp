// The DAT reader: both forms, the names and hashes it keeps, the roms it
// drops, and where it reports each kind of damage. Every DAT is read whole
// and again in pieces of 1 and of 7 bytes, which must give the same.
#include "readers/dat_file.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "datgen.h"

namespace zumtal {
namespace {

using namespace testing;

// A DAT as text: "NAME" then per game "GAME|DESCRIPTION" and per rom
// " ROM size crc md5 sha1", '-' for a missing field; or "line N: what".
std::string Dump(const DatResult& result) {
  if (const auto* error = std::get_if<DatError>(&result)) {
    return "line " + std::to_string(error->line) + ": " + error->what;
  }
  const auto& dat = std::get<DatFile>(result);
  std::string dump(dat.Name());
  for (std::size_t g = 0; g < dat.Games().size(); ++g) {
    const DatGame& game = dat.Games()[g];
    dump += "\n" + std::string(dat.Text(game.name)) + "|" + std::string(dat.Text(game.description));
    for (const auto& rom : dat.RomsOf(game)) {
      EXPECT_EQ(rom.game, g);
      char crc[9];
      std::snprintf(crc, sizeof crc, "%08x", rom.crc);
      dump += "\n " + std::string(dat.Text(rom.name)) + " " + (rom.hasSize ? std::to_string(rom.size) : "-") + " " +
              (rom.hasCrc ? crc : "-") + " " + (rom.hasMd5 ? LowerHex(rom.md5) : "-") + " " +
              (rom.hasSha1 ? LowerHex(rom.sha1) : "-");
    }
  }
  return dump;
}

DatResult ReadInPieces(std::string_view bytes, std::size_t piece) {
  DatReader reader("pieces.dat");
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const auto part = bytes.substr(at, piece);
    reader.Read(std::span(reinterpret_cast<const std::uint8_t*>(part.data()), part.size()));
  }
  return reader.Finish();
}

struct Case {
  const char* about;
  std::string dat;
  std::string expected;  // as Dump writes it
};

void CheckAll(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(Dump(ReadDatFile(c.dat, "x.dat")), c.expected) << c.about;
    EXPECT_EQ(Dump(ReadInPieces(c.dat, 1)), c.expected) << c.about << " (in bytes)";
    EXPECT_EQ(Dump(ReadInPieces(c.dat, 7)), c.expected) << c.about << " (in pieces of 7)";
  }
}

const std::string kSha1 = "0123456789abcdef0123456789ABCDEF01234567";
const std::string kMd5 = "00112233445566778899AABBCCDDEEFF";
const std::string kSha1Low = "0123456789abcdef0123456789abcdef01234567";
const std::string kRest = " 00112233445566778899aabbccddeeff " + kSha1Low;

std::string Xml(std::string_view body) {
  return "<?xml version=\"1.0\"?>\n<datafile>\n" + std::string(body) + "</datafile>\n";
}

TEST(DatFile, XmlForm) {
  CheckAll({
      {"the builder's DAT, machines, no header",
       XmlDat("", {{"Knight's & Day", "K&D", {{"a.prg", "12", "ABCDEF01", kMd5, kSha1}, {"b.prg", "", "", "", kSha1}}}},
              "machine"),
       "\nKnight's & Day|K&D\n a.prg 12 abcdef01" + kRest + "\n b.prg - - - " + kSha1Low},
      {"entities, numeric references and UTF-8; the description is the name",
       Xml("<header><name>Set &amp; &#x263A;</name></header>\n"
           "<game name='Caf&#233; &apos;85&apos;'><description>Café '85'</description>"
           "<rom name='Café &apos;85&apos;.prg' size='7' crc='00000001'/></game>\n"),
       "Set & \xE2\x98\xBA\nCafé '85'|Café '85'\n Café '85'.prg 7 00000001 - -"},
      {"roms without a CRC or SHA-1 dropped, empty values are none, a game of dropped roms kept",
       Xml("<game name='g'><description>d</description><rom name='none' size='1'/>"
           "<rom name='md5' md5='" +
           kMd5 +
           "'/><rom name='blank' crc='' sha1='' size=''/></game>\n"
           "<game name='h'><rom name='crc' crc='FFFFFFFF'/><rom name='sha1' sha1='" +
           kSha1 + "' size='0'/></game>"),
       "\ng|d\nh|\n crc - ffffffff - -\n sha1 0 - - " + kSha1Low},
      {"only a game's own first description and roms count; other elements passed over",
       Xml("<header><name>A</name><name>B</name></header><rom name='loose' crc='00000001'/>"
           "<game name='g'><description>one</description><description>two</description>"
           "<release name='r' region='EUR'/><disk name='d' sha1='" +
           kSha1 +
           "'/>"
           "<x><rom name='deep' crc='00000002'/></x><rom name='top' crc='00000003'/></game>"),
       "A\ng|one\n top - 00000003 - -"},
      {"a byte order mark and blank lines",
       "\xEF\xBB\xBF\n\n<datafile><game name='Zürich'><rom name='r' crc='00000004'/></game></datafile>",
       "\nZürich|\n r - 00000004 - -"},
      {"Latin-1 by declaration",
       "<?xml version='1.0' encoding='ISO-8859-1'?><datafile><game name='Z\xFCrich'/></datafile>", "\nZürich|"},
      {"a rom without a name kept, its name empty", Xml("<game name='g'><rom crc='00000005' size='1'/></game>"),
       "\ng|\n  1 00000005 - -"},
      {"the largest size", Xml("<game name='g'><rom name='r' size='18446744073709551615' crc='00000000'/></game>"),
       "\ng|\n r 18446744073709551615 00000000 - -"},
  });
}

TEST(DatFile, TextForm) {
  CheckAll({
      {"the builder's DAT", TextDat("Set", {{"G (1985)", "D", {{"G (1985).prg", "3", "abcdef01", kMd5, kSha1}}}}),
       "Set\nG (1985)|D\n G (1985).prg 3 abcdef01" + kRest},
      {"machine and resource blocks, bare words, unknown blocks, keys and values",
       "emulator ( name \"emu\" )\nclrmamepro ( name Set version 2 author \"a b\" )\n"
       "machine ( name m description \"m\" disk ( name d sha1 " +
           kSha1 +
           " ) sample s\n"
           "\trom ( name r.bin size 5 date 2003/01/01 12:00:00 flags verified CRC 1 crc DEADBEEF ) )\n"
           "resource ( name \"the (odd) one\" rom ( name \"x y.prg\" sha1 " +
           kSha1 + " ) )\n",
       "Set\nm|m\n r.bin 5 deadbeef - -\nthe (odd) one|\n x y.prg - - - " + kSha1Low},
      {"no header, a rom without hashes dropped, the first of a key given twice counts, a key without a value",
       "game ( name a name b description ( x ) rom ( name n size 1 ) rom ( crc 00000001 crc 00000002 name ) )",
       "\na|\n  - 00000001 - -"},
      {"quoted keys are values, not keys; a rom outside a game is passed over",
       "rom ( name r crc 00000001 )\ngame (\"name\" x rom ( \"crc\" name r sha1 " + kSha1 + " ) )",
       "\n|\n r - - - " + kSha1Low},
  });
}

TEST(DatFile, Damage) {
  const std::string game = "game ( name g\n";
  CheckAll({
      {"empty", "", "line 1: not a DAT file: neither XML nor the text form"},
      {"blanks", " \n\n ", "line 3: not a DAT file: neither XML nor the text form"},
      {"text that is not a DAT", "\n\nReadme: see below", "line 3: not a DAT file: neither XML nor the text form"},
      {"a quoted word first", "\"game\" ( )", "line 1: not a DAT file: neither XML nor the text form"},
      {"a byte order mark cut short", "\xEF\xBB<datafile/>", "line 1: not a DAT file: neither XML nor the text form"},
      {"another XML document", "<?xml version='1.0'?>\n<html><game name='g'/></html>",
       "line 2: not a DAT file: the XML's root element is <html>, not <datafile>"},
      {"mismatched tag", Xml("<game name='g'>\n</gmae>\n"), "line 4: malformed XML: mismatched tag"},
      {"cut short", "<datafile>\r\n<game name='g'>\r\n", "line 3: malformed XML: no element found"},
      {"an XML declaration after blanks", "\r\n\n<?xml version='1.0'?><datafile/>",
       "line 3: malformed XML: XML or text declaration not at start of entity"},
      {"an XML declaration after a blank", " <?xml version='1.0'?><datafile/>",
       "line 1: malformed XML: XML or text declaration not at start of entity"},
      {"an unknown entity", Xml("<game name='&nbsp;'/>"), "line 3: malformed XML: undefined entity"},
      {"an entity declaration", "<!DOCTYPE datafile [\n<!ENTITY a 'aaaa'>\n]><datafile/>",
       "line 2: entity declarations are not supported"},
      {"XML crc not hex, at its element's line",
       "\n\n<datafile>\n<game name='g'>\n<rom name='r'\n crc='12G45678'/></game></datafile>",
       "line 5: crc \"12G45678\" is not 8 hex digits"},
      {"XML sha1 too short, in a dropped rom too", Xml("<game name='g'><rom name='r' sha1='abc'/></game>"),
       "line 3: sha1 \"abc\" is not 40 hex digits"},
      {"XML md5 too long", Xml("<game name='g'><rom name='r' crc='00000000' md5='" + kMd5 + "0'/></game>"),
       "line 3: md5 \"" + kMd5 + "0\" is not 32 hex digits"},
      {"XML size not a number", Xml("<game name='g'><rom name='r' size='-1' crc='00000000'/></game>"),
       "line 3: size \"-1\" is not a number"},
      {"size too large", game + "rom ( size 18446744073709551616 crc 00000000 ) )",
       "line 2: size \"18446744073709551616\" is too large"},
      {"text crc too long, a long value cut short in the message",
       game + "rom ( crc 0123456789abcdef0123456789abcdef0123456789abcdef )",
       "line 2: crc \"0123456789abcdef0123456789abcdef01234567\"... is not 8 hex digits"},
      {"text sha1 not hex", game + "\n rom ( sha1 \"" + kSha1.substr(1) + "x\" ) )",
       "line 3: sha1 \"" + kSha1.substr(1) + "x\" is not 40 hex digits"},
      {"text size not a number", game + "rom ( size 1e3 )", "line 2: size \"1e3\" is not a number"},
      {"a block not closed", "clrmamepro ( name x )\n" + game + "rom ( name r crc 00000000 )\n",
       "line 2: \"game (\" has no closing ')'"},
      {"text lines end at LF, CR LF included", "game (\r\n name g\r\n\r\n rom ( crc x ) )",
       "line 4: crc \"x\" is not 8 hex digits"},
      {"a ')' too many", game + ")\n)", "line 3: ')' without a '(' before it"},
      {"a string not closed on its line", game + "description \"a\nb\" )",
       "line 2: quoted string has no closing '\"' on its line"},
      {"a string not closed at the end", game + "description \"ab",
       "line 2: quoted string has no closing '\"' on its line"},
  });
}

TEST(DatFile, ReaderStopsAtTheFirstDamage) {
  DatReader reader("x.dat");
  const std::string_view parts[] = {"game ( name g rom ( crc 0000000", "z ) )", "game ( sha1 x )"};
  const auto read = [&](std::string_view part) {
    return reader.Read(std::span(reinterpret_cast<const std::uint8_t*>(part.data()), part.size()));
  };
  EXPECT_TRUE(read(parts[0]));
  EXPECT_FALSE(read(parts[1]));
  EXPECT_FALSE(read(parts[2]));
  EXPECT_EQ(Dump(reader.Finish()), "line 1: crc \"0000000z\" is not 8 hex digits");
}

TEST(DatFile, KeepsPathAndSharesNames) {
  const auto result = ReadDatFile(XmlDat("N", DatSynthesizer(1).Games(50)), "dir/set.dat");
  const auto& dat = std::get<DatFile>(result);
  EXPECT_EQ(dat.Path(), "dir/set.dat");
  EXPECT_EQ(dat.Roms().size(), 50u);
  // A game's name is stored once for the name, the equal description and
  // the rom named after it.
  const DatGame& first = dat.Games()[0];
  EXPECT_EQ(first.description.offset, first.name.offset);
  EXPECT_EQ(dat.RomsOf(first)[0].name.offset, first.name.offset);
}

}  // namespace
}  // namespace zumtal
