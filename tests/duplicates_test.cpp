#include "report/duplicates.h"

#include <gtest/gtest.h>

#include <span>

#include "report/text_encoding.h"

namespace zumtal {
namespace {

struct Found {
  EntryReport report;
  std::uint8_t hash;  // the SHA-1's first byte; the rest is zero
};

ProgramDigests Digests(std::uint8_t hash) {
  ProgramDigests digests;
  digests.sha1[0] = hash;
  return digests;
}

const std::string kSha1A = "a0" + std::string(38, '0');
const std::string kSha1B = "0b" + std::string(38, '0');

// One program on a disk, in a tape inside a zip, twice on another disk and
// as a PRG file; a second program twice; a third and a fourth that share
// load address, size and raw CRC (a byte sum) but not their bytes.
const Found kCollection[] = {
    {{"games.d64", "GAMES DISK      ", "INVADERS        ", 2049, 5000, 77, "", ""}, 0xA0},
    {{"games.d64", "GAMES DISK      ", "LOADER          ", 2049, 40, 9, "", ""}, 0x0B},
    {{"games.d64", "GAMES DISK      ", "SUM ONE         ", 4096, 2, 3, "", ""}, 0x01},
    {{"tapes/a.zip/a.t64", "TAPE ONE", "INVADERS", 2049, 5000, 77, "", ""}, 0xA0},
    {{"tapes/a.zip/a.t64", "TAPE ONE", "SUM TWO", 4096, 2, 3, "", ""}, 0x02},
    {{"more.d64", "MORE", "INV", 2049, 5000, 77, "", ""}, 0xA0},
    {{"more.d64", "MORE", "INV COPY", 2049, 5000, 77, "", ""}, 0xA0},
    {{"ldr.prg", "ldr.prg", "ldr", 2049, 40, 9, "", ""}, 0x0B},
    {{"big.prg", "big.prg", "big", 2049, 70000, 1, "", ""}, 0xC0},
};

DuplicateFinder Collect(std::span<const Found> found) {
  DuplicateFinder finder;
  for (const auto& program : found) {
    finder.Add(program.report, Digests(program.hash));
  }
  return finder;
}

TEST(Duplicates, GroupsInTheOrderOfTheirFirstCopies) {
  const struct {
    std::size_t programs;
    std::string text;
  } cases[] = {
      {0, "0 programs, 0 distinct, 0 groups of copies, 0 bytes in extra copies\r\n"},
      {4, kSha1A + ",\"games.d64\",\"GAMES DISK      \",\"INVADERS        \",2049,5000\r\n" +  //
              kSha1A + ",\"tapes/a.zip/a.t64\",\"TAPE ONE\",\"INVADERS\",2049,5000\r\n\r\n" +
              "4 programs, 3 distinct, 1 groups of copies, 5002 bytes in extra copies\r\n"},
      {std::size(kCollection),
       kSha1A + ",\"games.d64\",\"GAMES DISK      \",\"INVADERS        \",2049,5000\r\n" +    //
           kSha1A + ",\"tapes/a.zip/a.t64\",\"TAPE ONE\",\"INVADERS\",2049,5000\r\n" +        //
           kSha1A + ",\"more.d64\",\"MORE\",\"INV\",2049,5000\r\n" +                          //
           kSha1A + ",\"more.d64\",\"MORE\",\"INV COPY\",2049,5000\r\n\r\n" +                 //
           kSha1B + ",\"games.d64\",\"GAMES DISK      \",\"LOADER          \",2049,40\r\n" +  //
           kSha1B + ",\"ldr.prg\",\"ldr.prg\",\"ldr\",2049,40\r\n\r\n" +
           "9 programs, 5 distinct, 2 groups of copies, 15048 bytes in extra copies\r\n"},
  };
  for (const auto& c : cases) {
    Output out;
    Collect(std::span(kCollection).first(c.programs)).WriteText(out);
    EXPECT_EQ(out.Text(), c.text) << c.programs << " programs";
  }
}

TEST(Duplicates, JsonLinesOfGroupsAndSummary) {
  std::vector<Found> found(std::begin(kCollection), std::end(kCollection));
  // Names go out as valid UTF-8 JSON, whatever their bytes.
  found.push_back({{"odd\"\\\x01\xFF\xC3\xA9.prg", "i\tj", "k", 2049, 70000, 5, "", ""}, 0xC0});
  Output out;
  Collect(found).WriteJson(out);
  EXPECT_EQ(
      out.Text(),
      "{\"sha1\":\"" + kSha1A +
          "\",\"load_address\":2049,\"size\":5000,\"copies\":["
          "{\"file\":\"games.d64\",\"image_name\":\"GAMES DISK      \",\"entry_name\":\"INVADERS        \"},"
          "{\"file\":\"tapes/a.zip/a.t64\",\"image_name\":\"TAPE ONE\",\"entry_name\":\"INVADERS\"},"
          "{\"file\":\"more.d64\",\"image_name\":\"MORE\",\"entry_name\":\"INV\"},"
          "{\"file\":\"more.d64\",\"image_name\":\"MORE\",\"entry_name\":\"INV COPY\"}]}\n"
          "{\"sha1\":\"" +
          kSha1B +
          "\",\"load_address\":2049,\"size\":40,\"copies\":["
          "{\"file\":\"games.d64\",\"image_name\":\"GAMES DISK      \",\"entry_name\":\"LOADER          \"},"
          "{\"file\":\"ldr.prg\",\"image_name\":\"ldr.prg\",\"entry_name\":\"ldr\"}]}\n"
          "{\"sha1\":\"c0" +
          std::string(38, '0') +
          "\",\"load_address\":2049,\"size\":70000,\"copies\":["
          "{\"file\":\"big.prg\",\"image_name\":\"big.prg\",\"entry_name\":\"big\"},"
          "{\"file\":\"odd\\\"\\\\\\u0001\xEF\xBF\xBD\xC3\xA9.prg\",\"image_name\":\"i\\tj\",\"entry_name\":\"k\"}]}\n"
          "{\"programs\":10,\"distinct\":5,\"groups\":3,\"extra_bytes\":85050}\n");
}

TEST(TextEncoding, JsonStringsAreValidUtf8) {
  const struct {
    std::string_view bytes;
    std::string_view json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"\"\\/", "\"\\\"\\\\/\""},
      {std::string_view("\0\b\f\n\r\t\x1F\x7F", 8), "\"\\u0000\\b\\f\\n\\r\\t\\u001f\x7F\""},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      // Each byte outside a well-formed sequence: cut short, overlong,
      // surrogate, beyond U+10FFFF, lone continuation, PETSCII.
      {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"a\x80"
       "b\xA0",
       "\"a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) {
    std::string json;
    AppendJsonString(json, c.bytes);
    EXPECT_EQ(json, c.json);
    EXPECT_TRUE(IsValidUtf8(json));
  }
}

}  // namespace
}  // namespace zumtal
