// Cartridge images and SID tunes: one report each, with the hashes of the PRG
// file of the same program; damage ends the file; a wrong signature or
// version makes it no C64 file.
#include <gtest/gtest.h>

#include <functional>

#include "crt_sid_builders.h"
#include "driver/catalogue.h"
#include "report/program_hash.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

Bytes Prg(std::uint16_t load, Bytes data, const Bytes& more = {}) {
  data.insert(data.begin(), {static_cast<std::uint8_t>(load & 0xFF), static_cast<std::uint8_t>(load >> 8)});
  data.insert(data.end(), more.begin(), more.end());
  return data;
}

TEST(CrtSid, OneReportWithThePrgFilesHashes) {
  const Bytes low = ProgramData(8192, 1), high = ProgramData(8192, 2), big = ProgramData(65535, 3);
  CrtBuilder two("TWO CHIPS");
  two.Add(0x8000, low);
  two.Add(0xA000, high, 1);
  // A header length of 32 (read as 64), and ROM bytes passed over.
  CrtBuilder shortHeader("A NAME THAT FILLS ALL 32 BYTES!!", "C64 CARTRIDGE   ", 32);
  shortHeader.Add(0xE000, low, 0, 100);
  shortHeader.Add(0x8000, {}, 1, 7);
  shortHeader.Add(0x9000, high);
  // A longer header, and ROMs of more than 65535 bytes in all.
  CrtBuilder longHeader(std::string("\x01ODD\xC1", 5), "C64 CARTRIDGE   ", 80);
  longHeader.bytes().resize(80, 0x55);
  longHeader.Add(0x8000, big);
  longHeader.Add(0x8000, low);
  // The file's name and bytes, its 32 name bytes (zero-padded here), and the program as a PRG.
  const std::tuple<std::string, Bytes, std::string, Bytes> cases[] = {
      {"two.crt", two.bytes(), "TWO CHIPS", Prg(0x8000, low, high)},
      {"short.CRT", shortHeader.bytes(), "A NAME THAT FILLS ALL 32 BYTES!!", Prg(0xE000, low, high)},
      {"long.crt", longHeader.bytes(), std::string("\x01ODD\xC1", 5), Prg(0x8000, big, low)},
      {"r.SID", SidFile("R", 0xC000, low, "RSID", 3), "R", Prg(0xC000, low)},
      {"v1.sid", SidFile("OLD", 0x2000, high, "PSID", 1), "OLD", Prg(0x2000, high)},
      {"in.sid", SidFile("IN", 0, Prg(0x0FFE, low), "PSID", 4), "IN", Prg(0x0FFE, low)},
      {"none.sid", SidFile("NONE", 0x1000, {}), "NONE", Prg(0x1000, {})},
      {"big.sid", SidFile("BIG", 0x0801, Prg(0x1234, big)), "BIG", Prg(0x0801, Prg(0x1234, big))},
  };
  for (auto [file, bytes, name, prg] : cases) {
    name.resize(32, '\0');
    const std::string key = AsciiUpper(file.substr(file.size() - 4));
    const ReaderResult csv = RunReader(Catalogue, bytes, file);
    EXPECT_EQ(csv.output, key + "\r\n" +
                              CsvLine(file, file, ToPrintable(name), prg[0] | prg[1] << 8, (prg.size() - 2) % 65536,
                                      static_cast<std::int32_t>(Sum(prg, 2)), ToHex(file), ToHex(name)));
    EXPECT_EQ(csv.status, 0) << file;
    const std::string json = RunReader(Catalogue, bytes, file, Layout::kJson).output;
    EXPECT_NE(json.find("\"format\":\"" + key.substr(1) + "\""), std::string::npos) << json;
    EXPECT_NE(json.find(JsonHashes(prg)), std::string::npos) << file;
  }
}

TEST(CrtSid, DamageAndOtherFiles) {
  const Bytes rom = ProgramData(100, 5);
  // Two packets of 116 bytes, at 64 and 180, damaged.
  const auto crt = [&](const std::function<void(Bytes&)>& damage) {
    CrtBuilder builder("DAMAGED");
    builder.Add(0x8000, rom);
    builder.Add(0xA000, rom);
    damage(builder.bytes());
    return builder.bytes();
  };
  // 124 header bytes and 100 of data, one field changed.
  const auto sid = [&](std::size_t at, std::uint64_t value, std::size_t width, std::size_t cut = 1000) {
    Bytes bytes = SidFile("DAMAGED", 0x1000, rom);
    PutBigEndian(bytes, at, value, width);
    bytes.resize(std::min(bytes.size(), cut));
    return bytes;
  };
  // The file's name and bytes, and its line with keep-going ("": not a C64 file).
  const std::tuple<std::string, Bytes, std::string> cases[] = {
      {"h.crt", CrtBuilder("EMPTY").bytes(), "no CHIP packet"},
      {"c.crt", crt([](Bytes& b) { b.resize(40); }), "no CHIP packet"},
      {"p.crt", crt([](Bytes& b) { PutBigEndian(b, 16, 0xFFFFFFFF, 4); }), "no CHIP packet"},
      {"n.crt", crt([](Bytes& b) { b[67] = 'Q'; }), "CHIP packet at byte 64: no CHIP signature"},
      {"l.crt", crt([](Bytes& b) { PutBigEndian(b, 184, 12, 4); }), "CHIP packet at byte 180: length 12 below 16"},
      {"e.crt", crt([](Bytes& b) { PutBigEndian(b, 184, 0xFFFFFFFF, 4); }),
       "CHIP packet at byte 180: length 4294967295 past the end of the file (296 bytes)"},
      {"r.crt", crt([](Bytes& b) { PutBigEndian(b, 78, 101, 2); }),
       "CHIP packet at byte 64: ROM of 101 bytes larger than its packet"},
      {"s.crt", crt([](Bytes& b) {
         b.insert(b.end(), {'C', 'H', 'I', 'P', 0, 0});
       }),
       "CHIP packet at byte 296: header cut short (6 of 16 bytes)"},
      {"b.crt", crt([](Bytes& b) { b.push_back('C'); }), "CHIP packet at byte 296: no CHIP signature"},
      {"m.crt", CrtBuilder("C128", "C128 CARTRIDGE  ").bytes(), ""},
      {"o.sid", sid(6, 117, 2), "data offset 117: below 118"},
      {"x.sid", sid(6, 65535, 2), "data offset 65535: past the end of the file (224 bytes)"},
      {"z.sid", sid(8, 0, 2, 125), "no load address in the data"},
      {"7.sid", sid(0, 0, 0, 7), "header cut short (7 bytes)"},
      {"0.sid", sid(4, 0, 2), ""},
      {"5.sid", sid(4, 5, 2), ""},
      {"q.sid", sid(0, 0x4D555321, 4), ""},
  };
  for (const auto& [file, bytes, line] : cases) {
    const std::string key = AsciiUpper(file.substr(file.size() - 4)) + "\r\n";
    const ReaderResult stop = RunReader(Catalogue, bytes, file);
    const ReaderResult kept = RunReader(Catalogue, bytes, file, Layout::kCsv, {}, true);
    EXPECT_EQ(stop.output, key + (line.empty() ? "!Error: " + file + " is not C64 file.\r\n" : "")) << file;
    EXPECT_EQ(stop.status, line.empty() ? 0 : 100) << file;
    EXPECT_EQ(kept.output, key + "!Error: " + file + (line.empty() ? " is not C64 file." : ": " + line) + "\r\n");
    EXPECT_EQ(kept.status, stop.status) << file;
  }
}

// A million empty packets: one pass over the file, and no memory of their own.
TEST(CrtSid, AMillionPackets) {
  CrtBuilder builder("MANY");
  builder.Add(0x8000, {1, 2, 3});
  for (int i = 0; i < 1000000; ++i) builder.Add(0x8000, {});
  EXPECT_EQ(RunReader(ReadCrt, builder.bytes(), "m.crt").output,
            CsvLine("m.crt", "m.crt", "MANY" + std::string(28, ' '), 0x8000, 3, 6, ToHex("m.crt"),
                    ToHex(std::string("MANY") + std::string(28, '\0'))));
}

}  // namespace
}  // namespace zumtal
