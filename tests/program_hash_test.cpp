// The program hashes: the same values however the bytes arrive, and only the
// hashes chosen.
#include "report/program_hash.h"

#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

std::string Text(const ProgramHashes& h) { return LowerHex(h.crc32) + " " + LowerHex(h.md5) + " " + LowerHex(h.sha1); }

ProgramHashes InRuns(ProgramHash& hash, const Bytes& bytes, std::size_t run) {
  for (std::size_t at = 0; at < bytes.size(); at += run) {
    hash.Take(bytes.data() + at, std::min(run, bytes.size() - at));
  }
  return hash.Finish();
}

// Published check values: the MD5 (RFC 1321) and SHA-1 (FIPS 180) of no
// bytes, and the CRC-32 check value of "123456789"; one hasher for all, an
// empty run first, then runs of half the input.
TEST(ProgramHash, StandardTestVectors) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "00000000 d41d8cd98f00b204e9800998ecf8427e da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"123456789", "cbf43926 25f9e794323b453885f5181f1b624d0b f7c3bc1d808e04732adf679965ccc34ca7ae3441"},
  };
  ProgramHash hash;
  for (const auto& [input, hashes] : cases) {
    hash.Take(reinterpret_cast<const std::uint8_t*>(input.data()), 0);
    EXPECT_EQ(Text(InRuns(hash, ToBytes(input), input.size() / 2 + 1)), hashes) << input;
  }
}

// Runs shorter than, as long as and longer than what is gathered, and runs
// that straddle its end, give the values of one call.
TEST(ProgramHash, RunsOfAnySizeGiveTheValuesOfOneCall) {
  const Bytes prg = Program(0x0801, 3 * ProgramHash::kGather + 777, 5);
  ProgramHash whole;
  whole.Take(prg.data(), prg.size());
  const std::string expected = Text(whole.Finish());
  ProgramHash hash;  // one for all: nothing is left over from the last program
  for (const std::size_t run : {std::size_t{1}, std::size_t{254}, ProgramHash::kGather - 1, ProgramHash::kGather,
                                ProgramHash::kGather + 1, 2 * ProgramHash::kGather + 3, prg.size()}) {
    EXPECT_EQ(Text(InRuns(hash, prg, run)), expected) << run;
    // Through Begin: the load address first, then the data.
    hash.Begin(0x0801);
    const Bytes data(prg.begin() + 2, prg.end());
    EXPECT_EQ(Text(InRuns(hash, data, run)), expected) << run;
  }
}

// A hash not chosen stays zero; those chosen keep their values.
TEST(ProgramHash, ComputesOnlyTheChosenHashes) {
  const Bytes prg = Program(0xC000, 5000, 9);
  ProgramHash all;
  const ProgramHashes full = InRuns(all, prg, 254);
  const ProgramHashes none{};
  const struct {
    HashSet which;
    bool crc32, md5, sha1;
  } cases[] = {{kSha1Hash, false, false, true},
               {kCrc32Hash | kMd5Hash, true, true, false},
               {kMd5Hash, false, true, false},
               {kCrc32Hash, true, false, false}};
  for (const auto& c : cases) {
    ProgramHash hash(c.which);
    for (int program = 0; program < 2; ++program) {
      const ProgramHashes h = InRuns(hash, prg, 254);
      EXPECT_EQ(h.crc32, c.crc32 ? full.crc32 : none.crc32) << c.which;
      EXPECT_EQ(h.md5, c.md5 ? full.md5 : none.md5) << c.which;
      EXPECT_EQ(h.sha1, c.sha1 ? full.sha1 : none.sha1) << c.which;
    }
  }
}

}  // namespace
}  // namespace zumtal
