#include <gtest/gtest.h>

#include "driver/catalogue.h"
#include "report/text_encoding.h"
#include "report/program_hash.h"
#include "g64_builder.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += "0123456789abcdef"[byte >> 4];
    text += "0123456789abcdef"[byte & 0xF];
  }
  return text;
}

std::string Crc32Hex(std::uint32_t value) {
  return Hex(std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                                         static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

// The published check values: RFC 1321 (MD5), FIPS 180 (SHA-1), the CRC-32
// check value of "123456789".
TEST(ProgramHash, StandardTestVectors) {
  const struct {
    std::string input;
    const char* crc32;
    const char* md5;
    const char* sha1;
  } cases[] = {
      {"", "00000000", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "352441c2", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"message digest", "20159d7f", "f96b697d7cb7938d525a2f31aaf161d0", "c12252ceda8be8994d5fa0290a47231c1d16aae3"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "171a3f5f", "8215ef0796a20bcaaae116d3876c664a",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"123456789", "cbf43926", "25f9e794323b453885f5181f1b624d0b", "f7c3bc1d808e04732adf679965ccc34ca7ae3441"},
      {std::string(1000000, 'a'), "dc25bfbc", "7707d6ae4e027c70eea2a935c2296f21",
       "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  // One hasher for all, each input fed in two runs split at its middle.
  ProgramHash hash;
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.input.data());
    hash.Take(bytes, c.input.size() / 2);
    hash.Take(bytes + c.input.size() / 2, c.input.size() - c.input.size() / 2);
    const ProgramHashes values = hash.Finish();
    EXPECT_EQ(Crc32Hex(values.crc32), c.crc32) << c.input.substr(0, 20);
    EXPECT_EQ(Hex(values.md5), c.md5) << c.input.substr(0, 20);
    EXPECT_EQ(Hex(values.sha1), c.sha1) << c.input.substr(0, 20);
  }
}

std::string Field(const std::string& line, const std::string& key) {
  const std::string start = "\"" + key + "\":\"";
  const std::size_t at = line.find(start);
  return at == std::string::npos ? "" : line.substr(at + start.size(), line.find('"', at + start.size()) - at - start.size());
}

// An archive, read as the run reads a file found on the disk.
void ReadArchive(InputFile& in, ReportWriter& reports, const ContainerNames& names) {
  CatalogueInput(in, names.pcFileName, names.pcFileName, 0, CatalogueContext{reports});
}

// A program gets the hashes of its .prg file in every container. Formats
// added later join the table.
TEST(ProgramHash, EveryContainerGivesThePrgFilesHashes) {
  const struct {
    const char* name;
    Reader reader;
    Bytes (*store)(const Bytes& prg);
  } containers[] = {
      {"x.prg", ReadPrg, [](const Bytes& prg) { return prg; }},
      {"x.t64",
       ReadT64,
       [](const Bytes& prg) {
         T64Builder tape("TAPE", 2);
         tape.AddProgram("OTHER", Program(4096, 77, 9));
         tape.AddProgram("IT", prg);
         return tape.bytes();
       }},
      {"x.d64",
       ReadD64,
       [](const Bytes& prg) {
         DiskBuilder disk(kD64Format);
         disk.AddProgram("OTHER", Program(4096, 77, 9));
         disk.AddProgram("IT", prg);
         return disk.bytes();
       }},
      {"x.d71",
       ReadD71,
       [](const Bytes& prg) {
         DiskBuilder disk(kD71Format);
         disk.AddProgram("OTHER", Program(4096, 77, 9));
         disk.AddProgram("IT", prg);
         return disk.bytes();
       }},
      {"x.d81",
       ReadD81,
       [](const Bytes& prg) {
         DiskBuilder disk(kD81Format);
         disk.AddProgram("OTHER", Program(4096, 77, 9));
         disk.AddProgram("IT", prg);
         return disk.bytes();
       }},
      {"x.g64",
       ReadG64,
       [](const Bytes& prg) {
         DiskBuilder disk;
         disk.AddProgram("OTHER", Program(4096, 77, 9));
         disk.AddProgram("IT", prg);
         return G64Builder(disk.bytes()).Build();
       }},
      {"x.p00", ReadP00, [](const Bytes& prg) { return P00File("IT", prg); }},
      {"x.zip",
       ReadArchive,
       [](const Bytes& prg) {
         ZipBuilder zip;
         zip.Add("other.prg", Program(4096, 77, 9), 0);
         zip.Add("in/it.prg", prg);
         return zip.Build();
       }},
      {"x.prg.gz", ReadArchive, [](const Bytes& prg) { return Gzip(prg); }},
      {"x.lnx",
       ReadLnx,
       [](const Bytes& prg) {
         LynxBuilder lynx;
         lynx.Add("OTHER", 'P', Program(4096, 77, 9));
         lynx.Add("IT", 'P', prg);
         return lynx.Build();
       }},
  };
  for (const std::size_t size : {0u, 1u, 252u, 253u, 5000u, 40000u}) {
    const Bytes prg = Program(0x0801, size, static_cast<std::uint32_t>(size));
    ProgramHash whole;
    whole.Take(prg.data(), prg.size());
    const ProgramHashes expected = whole.Finish();
    for (const auto& c : containers) {
      const auto result = RunReader(c.reader, c.store(prg), c.name, Layout::kJson);
      ASSERT_EQ(result.status, 0) << c.name << " " << size;
      const std::string last = result.output.substr(result.output.rfind('{'));
      EXPECT_EQ(Field(last, "crc32"), Crc32Hex(expected.crc32)) << c.name << " " << size;
      EXPECT_EQ(Field(last, "md5"), Hex(expected.md5)) << c.name << " " << size;
      EXPECT_EQ(Field(last, "sha1"), Hex(expected.sha1)) << c.name << " " << size;
    }
  }
}

TEST(JsonText, Utf8RuleAndEscapes) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    std::string bytes;
    std::string json;
  } cases[] = {
      {"plain ~ text", "\"plain ~ text\""},
      {"\"\\/", "\"\\\"\\\\/\""},
      {std::string("\0\x01\b\f\n\r\t\x1F\x7F", 9), "\"\\u0000\\u0001\\b\\f\\n\\r\\t\\u001f\x7F\""},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
      {"a\xE9z", "\"a" + bad + "z\""},
      {"\xC0\xAF", "\"" + bad + bad + "\""},                // overlong
      {"\xED\xA0\x80", "\"" + bad + bad + bad + "\""},      // surrogate
      {"\xF4\x90\x80\x80", "\"" + bad + bad + bad + bad + "\""},  // past U+10FFFF
      {"\xE2\x82", "\"" + bad + bad + "\""},                // cut short
      {"\xE2\x82\xC3\xA9", "\"" + bad + bad + "\xC3\xA9\""},
      {"\xA0\xF5\xFF", "\"" + bad + bad + bad + "\""},
  };
  for (const auto& c : cases) {
    std::string json;
    AppendJsonString(json, c.bytes);
    EXPECT_EQ(json, c.json) << ToHex(c.bytes);
    EXPECT_EQ(IsValidUtf8(c.bytes), json.find(bad) == std::string::npos) << ToHex(c.bytes);
  }
}

}  // namespace
}  // namespace zumtal
