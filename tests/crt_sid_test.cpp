// Cartridge images and SID tunes: one report each, with the hashes of the PRG
// file of the same program; damage ends the file, a wrong signature makes it
// no C64 file.
#include <gtest/gtest.h>

#include <functional>

#include "crt_sid_builders.h"
#include "driver/catalogue.h"
#include "report/program_hash.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

// A file found on the disk, with its key line; the status that keep-going
// returns is thrown.
void Catalogue(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  auto& reports = static_cast<ReportWriter&>(sink);
  const int status = CatalogueInput(in, names.pcFileName, names.pcFileName, 0, CatalogueContext{reports});
  if (status != 0) throw RunFailure(status, {});
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Prg(std::uint16_t load, const Bytes& data) {
  return Joined({{static_cast<std::uint8_t>(load & 0xFF), static_cast<std::uint8_t>(load >> 8)}, data});
}

struct Good {
  const char* what;
  std::string file;
  Bytes bytes;
  std::string name;  // the 32 name bytes
  Bytes prg;         // the program as a PRG file
};

std::string Name32(std::string_view name) {
  std::string padded(name);
  padded.resize(32, '\0');
  return padded;
}

std::vector<Good> GoodFiles() {
  const Bytes low = ProgramData(8192, 1), high = ProgramData(8192, 2), big = ProgramData(65535, 3);
  CrtBuilder two("TWO CHIPS");
  two.Add(0x8000, low);
  two.Add(0xA000, high, 1);
  // A header that says 32 bytes (read as 64), and ROM bytes passed over.
  CrtBuilder shortHeader("A NAME THAT FILLS ALL 32 BYTES!!", "C64 CARTRIDGE   ", 32);
  shortHeader.Add(0xE000, low, 0, 100);
  shortHeader.Add(0x8000, {}, 1, 7);
  shortHeader.Add(0x9000, high);
  // A longer header, and ROMs of more than 65535 bytes in all.
  CrtBuilder longHeader(std::string("\x01ODD\xC1", 5), "C64 CARTRIDGE   ", 80);
  longHeader.bytes().resize(80, 0x55);
  longHeader.Add(0x8000, big);
  longHeader.Add(0x8000, low);
  const Bytes tune = ProgramData(3000, 4);
  return {
      {"two banks", "two.crt", two.bytes(), Name32("TWO CHIPS"), Prg(0x8000, Joined({low, high}))},
      {"header of 32", "short.CRT", shortHeader.bytes(), "A NAME THAT FILLS ALL 32 BYTES!!",
       Prg(0xE000, Joined({low, high}))},
      {"header of 80", "long.crt", longHeader.bytes(), Name32(std::string("\x01ODD\xC1", 5)),
       Prg(0x8000, Joined({big, low}))},
      {"PSID 2", "tune.sid", SidFile("TUNE", 0x1000, tune), Name32("TUNE"), Prg(0x1000, tune)},
      {"RSID 3", "r.SID", SidFile("R", 0xC000, tune, "RSID", 3), Name32("R"), Prg(0xC000, tune)},
      {"PSID 1", "v1.sid", SidFile("OLD", 0x2000, tune, "PSID", 1), Name32("OLD"), Prg(0x2000, tune)},
      {"load address in the data", "in.sid", SidFile("IN", 0, Prg(0x0FFE, tune), "PSID", 4), Name32("IN"),
       Prg(0x0FFE, tune)},
      {"only a load address", "bare.sid", SidFile("BARE", 0, {0x00, 0x10}), Name32("BARE"), Prg(0x1000, {})},
      {"no data", "none.sid", SidFile("NONE", 0x1000, {}), Name32("NONE"), Prg(0x1000, {})},
      {"more than 65535 bytes", "big.sid", SidFile("BIG", 0x0801, Joined({big, low})), Name32("BIG"),
       Prg(0x0801, Joined({big, low}))},
  };
}

TEST(CrtSid, OneReportWithThePrgFilesHashes) {
  for (const Good& good : GoodFiles()) {
    const std::uint16_t load = static_cast<std::uint16_t>(good.prg[0] | good.prg[1] << 8);
    const std::size_t size = good.prg.size() - 2;
    const std::string key = AsciiUpper(good.file.substr(good.file.size() - 4));
    const ReaderResult csv = RunReader(Catalogue, good.bytes, good.file);
    EXPECT_EQ(csv.output, key + "\r\n" +
                              CsvLine(good.file, good.file, ToPrintable(good.name), load, size % 65536,
                                      static_cast<std::int32_t>(Sum(good.prg, 2)), ToHex(good.file), ToHex(good.name)))
        << good.what;
    EXPECT_EQ(csv.status, 0) << good.what;

    ProgramHash whole;
    whole.Take(good.prg.data(), good.prg.size());
    const ProgramHashes h = whole.Finish();
    const std::string json = RunReader(Catalogue, good.bytes, good.file, Layout::kJson).output;
    EXPECT_NE(json.find("\"format\":\"" + key.substr(1) + "\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"crc32\":\"" + LowerHex(h.crc32) + "\",\"md5\":\"" + LowerHex(h.md5) + "\",\"sha1\":\"" +
                        LowerHex(h.sha1)),
              std::string::npos)
        << good.what;
  }
}

struct Damaged {
  const char* what;
  std::string file;
  Bytes bytes;
  std::string line;  // with keep-going; "" for the not-a-C64-file line
};

std::vector<Damaged> DamagedFiles() {
  const Bytes rom = ProgramData(100, 5);
  const auto crt = [&](const std::function<void(CrtBuilder&, std::size_t, std::size_t)>& damage) {
    CrtBuilder builder("DAMAGED");
    const std::size_t first = builder.Add(0x8000, rom);
    const std::size_t second = builder.Add(0xA000, rom);
    damage(builder, first, second);
    return builder.bytes();
  };
  const auto sid = [&](std::size_t at, std::uint64_t value, std::size_t width, std::size_t cut = 1000) {
    Bytes bytes = SidFile("DAMAGED", 0x1000, rom);
    PutBigEndian(bytes, at, value, width);
    bytes.resize(std::min(bytes.size(), cut));
    return bytes;
  };
  return {
      {"header only", "h.crt", CrtBuilder("EMPTY").bytes(), "no CHIP packet"},
      {"header cut short", "c.crt", crt([](CrtBuilder& c, auto, auto) { c.bytes().resize(40); }), "no CHIP packet"},
      {"header length past the end", "p.crt",
       crt([](CrtBuilder& c, auto, auto) { PutBigEndian(c.bytes(), 16, 0xFFFFFFFF, 4); }), "no CHIP packet"},
      {"no CHIP", "n.crt", crt([](CrtBuilder& c, auto first, auto) { c.bytes()[first + 3] = 'Q'; }),
       "CHIP packet at byte 64: no CHIP signature"},
      {"length below 16", "l.crt",
       crt([](CrtBuilder& c, auto, auto second) { PutBigEndian(c.bytes(), second + 4, 12, 4); }),
       "CHIP packet at byte 180: length 12 below 16"},
      {"length past the end", "e.crt",
       crt([](CrtBuilder& c, auto, auto second) { PutBigEndian(c.bytes(), second + 4, 0xFFFFFFFF, 4); }),
       "CHIP packet at byte 180: length 4294967295 past the end of the file (296 bytes)"},
      {"ROM larger than its packet", "r.crt",
       crt([](CrtBuilder& c, auto first, auto) { PutBigEndian(c.bytes(), first + 14, 101, 2); }),
       "CHIP packet at byte 64: ROM of 101 bytes larger than its packet"},
      {"a packet's header cut short", "s.crt", crt([](CrtBuilder& c, auto, auto) {
         c.bytes().insert(c.bytes().end(), {'C', 'H', 'I', 'P', 0, 0});
       }),
       "CHIP packet at byte 296: header cut short (6 of 16 bytes)"},
      {"bytes after the last packet", "b.crt", crt([](CrtBuilder& c, auto, auto) { c.bytes().push_back('C'); }),
       "CHIP packet at byte 296: no CHIP signature"},
      {"another machine", "m.crt", CrtBuilder("C128", "C128 CARTRIDGE  ").bytes(), ""},
      {"a short signature", "t.crt", ToBytes("C64 CARTRIDGE"), ""},
      {"data offset below 118", "o.sid", sid(6, 117, 2), "data offset 117: below 118"},
      {"data offset past the end", "x.sid", sid(6, 65535, 2),
       "data offset 65535: past the end of the file (224 bytes)"},
      {"no load address", "z.sid", sid(8, 0, 2, 125), "no load address in the data"},
      {"header cut short", "7.sid", sid(0, 0, 0, 7), "header cut short (7 bytes)"},
      {"version 0", "0.sid", sid(4, 0, 2), ""},
      {"version 5", "5.sid", sid(4, 5, 2), ""},
      {"no signature", "q.sid", sid(0, 0x4D555321, 4), ""},
      {"too short for a version", "4.sid", ToBytes("PSID\0"), ""},
  };
}

TEST(CrtSid, DamageAndOtherFiles) {
  for (const Damaged& d : DamagedFiles()) {
    const std::string key = AsciiUpper(d.file.substr(d.file.size() - 4)) + "\r\n";
    const ReaderResult stop = RunReader(Catalogue, d.bytes, d.file);
    const ReaderResult kept = RunReader(Catalogue, d.bytes, d.file, Layout::kCsv, {}, true);
    if (d.line.empty()) {
      EXPECT_EQ(stop.output, key + "!Error: " + d.file + " is not C64 file.\r\n") << d.what;
      EXPECT_EQ(stop.status, 0) << d.what;
      continue;
    }
    EXPECT_EQ(stop.output, key) << d.what;
    EXPECT_EQ(stop.status, 100) << d.what;
    EXPECT_EQ(kept.output, key + "!Error: " + d.file + ": " + d.line + "\r\n") << d.what;
    EXPECT_EQ(kept.status, 100) << d.what;
  }
}

// A million empty packets take a pass over the file and no memory of their own.
TEST(CrtSid, AMillionPackets) {
  CrtBuilder builder("MANY");
  builder.Add(0x8000, {1, 2, 3});
  for (int i = 0; i < 1000000; ++i) builder.Add(0x8000, {});
  const ReaderResult result = RunReader(ReadCrt, builder.bytes(), "m.crt");
  EXPECT_EQ(result.output, CsvLine("m.crt", "m.crt", ToPrintable(Name32("MANY")), 0x8000, 3, 6, ToHex("m.crt"),
                                   ToHex(Name32("MANY"))));
}

}  // namespace
}  // namespace zumtal
