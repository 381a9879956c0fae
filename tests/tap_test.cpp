// The TAP decoder: programs written by the tape builder at the speeds and
// scatter of real tapes, with damaged copies, missing blocks, fast-loader
// parts and silence between them.
#include <gtest/gtest.h>

#include "readers/tap_decoder.h"
#include "support/harness.h"
#include "tap_builder.h"

namespace zumtal {
namespace {

using namespace testing;
using Damage = TapBuilder::Damage;
using Lines = std::vector<std::string>;

// A program as one line: name, type, addresses, header offset, then its data
// (size and a hash of the bytes), or where it is damaged.
std::string Line(std::string name, int type, std::uint16_t start, std::uint16_t end, std::uint64_t header,
                 TapProgram::Data data, std::span<const std::uint8_t> bytes = {}, std::uint64_t dataOffset = 0) {
  name.erase(name.find_last_not_of(' ') + 1);
  std::uint32_t hash = 2166136261u;
  for (const std::uint8_t byte : bytes) {
    hash = (hash ^ byte) * 16777619u;
  }
  char text[160];
  std::snprintf(text, sizeof text, "%s %d %04X-%04X @%llu %s %zu:%08X @%llu", name.c_str(), type, start, end,
                static_cast<unsigned long long>(header),
                data == TapProgram::Data::kGood      ? "good"
                : data == TapProgram::Data::kMissing ? "missing"
                                                     : "no-copy",
                bytes.size(), hash, static_cast<unsigned long long>(dataOffset));
  return text;
}

// The line the decoder should give for a program the builder wrote.
std::string Expected(const std::string& name, const Bytes& prg, std::uint64_t header, int type = 1,
                     TapProgram::Data data = TapProgram::Data::kGood, std::uint64_t dataOffset = 0) {
  const auto start = static_cast<std::uint16_t>(prg[0] | prg[1] << 8);
  const auto end = static_cast<std::uint16_t>(start + prg.size() - 2);
  const bool good = data == TapProgram::Data::kGood;
  return Line(name, type, start, end, header, data,
              good ? std::span<const std::uint8_t>(prg).subspan(2) : std::span<const std::uint8_t>(), dataOffset);
}

Lines Decode(const Bytes& file) {
  InputFile in(file);
  Lines lines;
  DecodeTap(in, [&lines](const TapProgram& p) {
    lines.push_back(Line(p.name, p.type, p.start, p.end, p.headerOffset, p.data, p.bytes, p.dataOffset));
  });
  return lines;
}

struct Tape {
  int version;
  double speed;
  int jitter;
};

class TapRoundTrip : public ::testing::TestWithParam<Tape> {};

INSTANTIATE_TEST_SUITE_P(SpeedsAndScatter, TapRoundTrip,
                         ::testing::Values(Tape{0, 1.0, 0}, Tape{1, 1.0, 0}, Tape{0, 0.9, 2}, Tape{1, 1.1, 3},
                                           Tape{1, 0.92, 3}, Tape{0, 1.08, 1}));

// Programs of every size class between pauses, a data file, a fast-loaded
// part and the end-of-tape header: each program once, in tape order, at its
// header block's offset; the rest passed over.
TEST_P(TapRoundTrip, ProgramsBetweenOtherParts) {
  const Tape& tape = GetParam();
  TapBuilder builder({tape.version, tape.speed, tape.jitter, 7});
  const Bytes first = Program(0x0801, 1000, 1);
  const Bytes fixed = Program(0xC000, 192, 2);
  const Bytes empty = Program(0x1000, 0);
  const Bytes last = Program(0x0801, 5000, 3);
  builder.AddPause();
  const auto a = builder.AddProgram("FIRST", first);
  builder.AddDataFile("RECORDS", 2);
  const auto b = builder.AddProgram("FIXED", fixed, 3);
  builder.AddTurbo(300);
  const auto c = builder.AddProgram("EMPTY", empty);
  builder.AddPause();
  builder.AddPause();
  const auto d = builder.AddProgram("A LONGER NAME 16", last);
  builder.AddEndOfTape();
  builder.AddPause();
  EXPECT_EQ(Decode(builder.Build()),
            (Lines{Expected("FIRST", first, a.header), Expected("FIXED", fixed, b.header, 3),
                   Expected("EMPTY", empty, c.header), Expected("A LONGER NAME 16", last, d.header)}));
}

// Each block from its first good copy; a header with none is no program, a
// data block with none a damaged one at the data block's offset. The
// program after is read in every case.
TEST(Tap, DamagedCopies) {
  const struct {
    Damage header;
    Damage data;
    TapProgram::Data outcome;  // kMissing: no program
  } rows[] = {
      {Damage::kFirst, Damage::kNone, TapProgram::Data::kGood},
      {Damage::kFirstCountdown, Damage::kFirstDropout, TapProgram::Data::kGood},
      {Damage::kFirstDropout, Damage::kFirst, TapProgram::Data::kGood},
      {Damage::kNone, Damage::kFirstCountdown, TapProgram::Data::kGood},
      {Damage::kNone, Damage::kBoth, TapProgram::Data::kNoGoodCopy},
      {Damage::kFirst, Damage::kBoth, TapProgram::Data::kNoGoodCopy},
      {Damage::kBoth, Damage::kNone, TapProgram::Data::kMissing},
      {Damage::kBoth, Damage::kBoth, TapProgram::Data::kMissing},
  };
  for (const auto& row : rows) {
    TapBuilder builder({1, 1.05, 2, 11});
    const Bytes program = Program(0x0801, 700, 5);
    const Bytes next = Program(0x2000, 60, 6);
    const auto placed = builder.AddProgram("DAMAGED", program, 1, row.header, row.data);
    const auto after = builder.AddProgram("NEXT", next);
    Lines expected;
    if (row.outcome != TapProgram::Data::kMissing) {
      expected.push_back(Expected("DAMAGED", program, placed.header, 1, row.outcome,
                                  row.outcome == TapProgram::Data::kGood ? 0 : placed.data));
    }
    expected.push_back(Expected("NEXT", next, after.header));
    EXPECT_EQ(Decode(builder.Build()), expected) << static_cast<int>(row.header) << static_cast<int>(row.data);
  }
}

// A header whose data block never comes: the tape ends, or a header of any
// type follows, or only a fast-loaded part does. A block too short for the
// size its header claims (65,535 bytes) has no good copy.
TEST(Tap, MissingAndShortDataBlocks) {
  TapBuilder builder({0, 0.95, 1, 3});
  const Bytes next = Program(0x0801, 40, 9);
  const auto alone = builder.AddHeader(1, 0x0801, 0x0811, "BEFORE NEXT");
  const auto program = builder.AddProgram("NEXT", next);
  const auto beforeData = builder.AddHeader(3, 0x1000, 0x1100, "BEFORE DATA");
  builder.AddDataFile("RECORDS", 1);
  const auto beforeEnd = builder.AddHeader(1, 0x0801, 0x0900, "BEFORE END");
  builder.AddEndOfTape();
  const auto huge = builder.AddHeader(1, 0x0801, 0x0800, "HUGE");
  const auto shortBlock = builder.AddBlock(Program(0, 8), 0x1500);
  const auto beforeTurbo = builder.AddHeader(1, 0x0801, 0x0802, "BEFORE TURBO");
  builder.AddTurbo(2000);
  const auto last = builder.AddHeader(1, 0x0801, 0x0802, "LAST");
  using enum TapProgram::Data;
  EXPECT_EQ(Decode(builder.Build()),
            (Lines{Line("BEFORE NEXT", 1, 0x0801, 0x0811, alone, kMissing), Expected("NEXT", next, program.header),
                   Line("BEFORE DATA", 3, 0x1000, 0x1100, beforeData, kMissing),
                   Line("BEFORE END", 1, 0x0801, 0x0900, beforeEnd, kMissing),
                   Line("HUGE", 1, 0x0801, 0x0800, huge, kNoGoodCopy, {}, shortBlock),
                   Line("BEFORE TURBO", 1, 0x0801, 0x0802, beforeTurbo, kMissing),
                   Line("LAST", 1, 0x0801, 0x0802, last, kMissing)}));
}

// Version 1 pulses in their 4-byte form read as the same lengths (each
// offset then 4 times as far from the pulses' start), and pulses of up to
// 2^24 - 1 cycles pass. A zero byte at the very end, alone or with one or
// two bytes after it, ends the pulses there. The length field is ignored.
TEST(Tap, PulseForms) {
  TapBuilder builder({1, 1.0, 2, 5});
  const Bytes program = Program(0x0801, 300, 4);
  const auto placed = builder.AddProgram("LONG FORM", program);
  Bytes longForm = builder.Build();
  longForm.resize(20);
  for (const std::uint8_t pulse : builder.pulses()) {
    longForm.insert(longForm.end(),
                    {0, static_cast<std::uint8_t>(8 * pulse), static_cast<std::uint8_t>(pulse >> 5), 0});
  }
  EXPECT_EQ(Decode(longForm), Lines{Expected("LONG FORM", program, 20 + 4 * (placed.header - 20))});

  for (const Bytes& tail : {Bytes{0}, Bytes{0, 1}, Bytes{0, 1, 2}, Bytes{0xFF, 0, 0xFF, 0xFF}}) {
    TapBuilder odd({1, 1.0, 0, 5});
    for (int i = 0; i < 100; ++i) {
      odd.AddRaw({0, 0xFF, 0xFF, 0xFF});
    }
    const auto first = odd.AddProgram("ODD", program);
    odd.AddRaw(tail);
    EXPECT_EQ(Decode(odd.Build("C64-TAPE-RAW", 0, 0xFFFFFFFF)), Lines{Expected("ODD", program, first.header)});
  }
}

// Where the lead-in before a header starts, when its first pulses lie at the
// bounds of a run (each pulse within 12% of the mean), written at a speed
// that makes its short pulses 50 units: 44 and 56 beside each other, in
// either order (28/22 apart, as far as a run allows), stay in it; 44 first stays, 43 leaves the
// run at the sixth pulse; 57 first, at the seventh; 44 then 57 part at once.
TEST(Tap, LeadInBounds) {
  const Bytes program = Program(0x0801, 100, 8);
  const struct {
    Bytes first;
    std::uint64_t runStart;  // pulses into `first` where the lead-in starts
  } rows[] = {{{50, 44, 56}, 0}, {{50, 56, 44}, 0}, {{44}, 0}, {{43}, 6}, {{57}, 7}, {{50, 44, 57}, 9}};
  for (const auto& row : rows) {
    TapBuilder builder({1, 50.0 / 48, 0, 1});
    builder.AddPause();
    const std::uint64_t start = builder.Offset();
    builder.AddRaw(row.first);
    builder.AddProgram("EDGE", program);
    EXPECT_EQ(Decode(builder.Build()), Lines{Expected("EDGE", program, start + row.runStart)})
        << ::testing::PrintToString(row.first);
  }
}

TEST(Tap, HeaderCheck) {
  const struct {
    std::string_view signature;
    int version;
    std::uint8_t machine;
    std::size_t cut;  // the file's length when not 0
    TapCheck check;
  } rows[] = {
      {"C64-TAPE-RAW", 0, 0, 0, TapCheck::kC64Tape},  {"C64-TAPE-RAW", 1, 0, 0, TapCheck::kC64Tape},
      {"C64-TAPE-RAW", 1, 0, 20, TapCheck::kC64Tape}, {"C64-TAPE-RAW", 1, 0, 19, TapCheck::kNotC64},
      {"C64-TAPE-RAW", 2, 0, 0, TapCheck::kNotC64},   {"C64-TAPE-RAW", 3, 0, 0, TapCheck::kNotC64},
      {"C64-TAPE-RAW", 1, 1, 0, TapCheck::kNotC64},   {"C64-TAPE-RAW", 0, 2, 0, TapCheck::kNotC64},
      {"C16-TAPE-RAW", 1, 0, 0, TapCheck::kNotC64},   {"C64-TAPE-RAX", 1, 0, 0, TapCheck::kNotC64},
  };
  for (const auto& row : rows) {
    TapBuilder builder({row.version});
    builder.AddProgram("P", Program(0x0801, 10));
    Bytes file = builder.Build(row.signature, row.machine);
    file.resize(row.cut == 0 ? file.size() : row.cut);
    InputFile in(file);
    EXPECT_EQ(CheckTapHeader(in), row.check) << row.signature << row.version << row.machine << row.cut;
  }
}

// The reader: one report per program, its name as on a disk, the bare name
// as the image name; a program whose data has no good copy, with and without
// keep-going; a tape of another machine.
TEST(TapReader, ReportsAndDamage) {
  const Bytes first = Program(0x0801, 300, 5);
  const Bytes second = Program(0xC000, 70, 6);
  TapBuilder tape({1, 1.05, 2, 7, 400, 300});
  tape.AddProgram("FIRST", first);
  const std::uint64_t damaged = tape.AddProgram("BROKEN", second, 1, Damage::kNone, Damage::kBoth).data;
  tape.AddTurbo(500);
  tape.AddProgram("LAST", second, 3);
  const Bytes bytes = tape.Build();
  const auto line = [](std::string_view name, const Bytes& prg) {
    const std::string padded = std::string(name) + std::string(16 - name.size(), ' ');
    return CsvLine("g.tap", "g.tap", padded, prg[0] | prg[1] << 8, static_cast<std::int64_t>(prg.size() - 2),
                   Sum(prg, 2), ToHex("g.tap"), ToHex(padded));
  };
  const ReaderResult stop = RunReader(ReadTap, bytes, "g.tap");
  EXPECT_EQ(stop.output, line("FIRST", first));
  EXPECT_EQ(stop.status, 100);
  const ReaderResult kept = RunReader(ReadTap, bytes, "g.tap", Layout::kCsv, {}, true);
  EXPECT_EQ(kept.output, line("FIRST", first) + "!Error: g.tap: BROKEN: data block at byte " + std::to_string(damaged) +
                             " has no good copy\r\n" + line("LAST", second));
  EXPECT_EQ(RunReader(ReadTap, TapBuilder().Build("C16-TAPE-RAW"), "c.tap").output,
            "!Error: c.tap is not C64 file.\r\n");
}

}  // namespace
}  // namespace zumtal
