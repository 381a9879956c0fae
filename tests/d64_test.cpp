#include <gtest/gtest.h>

#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

const std::string kBlankHex = ToHex(PaddedName("BLANK"));

std::string Line(std::string_view name, std::int64_t load, std::int64_t size, std::int64_t crc) {
  return CsvLine("d.d64", "BLANK           ", ToPrintable(PaddedName(name)), load, size, crc, kBlankHex,
                 ToHex(PaddedName(name)));
}

// Fills a sector's 256 bytes with a pattern, then sets its link.
void FillSector(D64Builder& disk, D64Builder::Sector sector, D64Builder::Sector link, std::uint8_t seed) {
  for (int i = 0; i < 256; ++i) {
    disk.At(sector)[i] = static_cast<std::uint8_t>(seed + i * 7);
  }
  disk.Link(sector, link);
}

std::uint32_t SumRange(D64Builder& disk, D64Builder::Sector sector, int from, int to) {
  std::uint32_t sum = 0;
  for (int i = from; i <= to; ++i) {
    sum += disk.At(sector)[i];
  }
  return sum;
}

// The load address is never summed; each sector gives its bytes up to its
// last data offset.
TEST(D64Reader, ChainWalkAndLastSectorLinks) {
  const struct {
    const char* what;
    std::vector<D64Builder::Sector> links;  // one per sector of the chain
    std::int64_t size;
  } cases[] = {
      {"one full sector", {{0, 255}}, 252},
      {"one sector, load address only", {{0, 3}}, 0},
      {"one sector, link below data", {{0, 1}}, 0},
      {"second ends at (0, 2)", {{5, 3}, {0, 2}}, 253},
      {"second ends at (0, 3)", {{5, 3}, {0, 3}}, 254},
      {"three sectors", {{5, 3}, {9, 20}, {0, 255}}, 252 + 254 + 254},
      {"252 bytes, then offsets 2 to 101", {{17, 10}, {0, 101}}, 352},
  };
  for (const auto& c : cases) {
    D64Builder disk;
    std::vector<D64Builder::Sector> chain{{1, 0}};
    for (std::size_t i = 0; i + 1 < c.links.size(); ++i) {
      chain.push_back(c.links[i]);
    }
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < chain.size(); ++i) {
      FillSector(disk, chain[i], c.links[i], static_cast<std::uint8_t>(i * 40 + 1));
      const int last = c.links[i].first != 0 ? 255 : c.links[i].second;
      crc += SumRange(disk, chain[i], i == 0 ? 4 : 2, last);
    }
    disk.PutEntry({18, 1}, 3, 130, {1, 0}, "X");
    const auto load = disk.At({1, 0})[2] | disk.At({1, 0})[3] << 8;
    EXPECT_EQ(RunReader(ReadD64, disk.bytes(), "d.d64").output, Line("X", load, c.size, crc)) << c.what;
  }
}

TEST(D64Reader, SameProgramSameSizeAndCrcAsPrg) {
  for (const std::size_t dataSize : {0u, 1u, 252u, 253u, 254u, 506u, 70000u}) {
    D64Builder disk(40);
    const Bytes program = Program(0x0801, dataSize, static_cast<std::uint32_t>(dataSize));
    ASSERT_TRUE(disk.AddProgram("P", program));
    const auto d64 = RunReader(ReadD64, disk.bytes(), "d.d64").output;
    const auto prg = RunReader(ReadPrg, program, "P.prg").output;
    // Load address, size and raw CRC: the fields after the third quote pair.
    const auto numbers = [](const std::string& line) {
      const auto start = line.find("\",", line.find("\",\"", line.find("\",\"") + 1) + 1);
      return line.substr(start, line.find(",\"", start) - start);
    };
    EXPECT_EQ(numbers(d64), numbers(prg)) << dataSize;
  }
}

TEST(D64Reader, OnlyClosedProgramsAreReported) {
  D64Builder disk;
  const Bytes program = Program(0x1000, 10);
  const std::uint8_t others[] = {0, 2, 128, 129, 131, 132, 194};
  for (const std::uint8_t type : others) {
    ASSERT_TRUE(disk.AddProgram("OTHER", program, 10, type));
  }
  ASSERT_TRUE(disk.AddProgram("PROGRAM", program));
  EXPECT_EQ(RunReader(ReadD64, disk.bytes(), "d.d64").output, Line("PROGRAM", 0x1000, 10, Sum(program, 2)));
}

TEST(D64Reader, DirectorySectorsInLinkOrderAndNamesEncoded) {
  D64Builder disk;
  FillSector(disk, {1, 0}, {0, 5}, 0);
  disk.Link({18, 1}, {18, 4});
  disk.Link({18, 4}, {18, 7});
  disk.Link({18, 7}, {0, 255});
  disk.PutEntry({18, 7}, 0, 130, {1, 0}, "THIRD");
  disk.PutEntry({18, 4}, 7, 130, {1, 0}, "SECOND");
  disk.PutEntry({18, 1}, 2, 130, {1, 0}, std::string("F\x01RST\xA0\x41\xFFxxxxxxx", 16));
  disk.SetDiskName(std::string("D\0SK", 4));
  const auto output = RunReader(ReadD64, disk.bytes(), "d.d64").output;
  const auto first = output.find("F RST A xxxxxxx");
  EXPECT_NE(first, std::string::npos);
  EXPECT_NE(output.find("4601525354A041FF7878787878787800"), std::string::npos);
  EXPECT_NE(output.find("\"D SK            \""), std::string::npos);
  EXPECT_NE(output.find("\"4400534BA0A0A0A0A0A0A0A0A0A0A0A0\""), std::string::npos);
  EXPECT_LT(first, output.find("SECOND"));
  EXPECT_LT(output.find("SECOND"), output.find("THIRD"));
}

TEST(D64Reader, ImageSizesAndErrorBytesDoNotChangeTheReport) {
  std::string expected;
  for (const int tracks : {35, 40}) {
    for (const bool errors : {false, true}) {
      D64Builder disk(tracks, errors);
      ASSERT_TRUE(disk.AddProgram("GAME", Program(2049, 3000)));
      const auto result = RunReader(ReadD64, disk.bytes(), "d.d64");
      EXPECT_EQ(result.status, 0);
      if (expected.empty()) {
        expected = result.output;
      }
      EXPECT_EQ(result.output, expected) << tracks << errors;
    }
  }
}

// Bad images: the reports before the fault stay, then the status says why.
// GOOD is stored at 1/0 and listed first, VICTIM at 1/1 and listed second.
TEST(D64Reader, DamagedImages) {
  const Bytes program = Program(2049, 100);
  const std::string good = Line("GOOD", 2049, 100, Sum(program, 2));
  const std::string both = good + Line("VICTIM", 2049, 100, Sum(program, 2));
  const struct {
    const char* what;
    void (*damage)(D64Builder&);
    std::size_t cutTo;  // 0: keep whole
    std::string output;
    int status;
  } cases[] = {
      {"cut before disk name ends", nullptr, 91551, "", 100},
      {"cut inside entry 7 of the first directory sector", nullptr, 91892, both, 100},
      {"cut after first directory sector", nullptr, 91904, both, 0},
      {"chain into track 36 of a 35-track image",
       [](D64Builder& d) {
         d.Link({1, 1}, {36, 0});
       },
       0, good, 100},
      {"chain into track 41",
       [](D64Builder& d) {
         d.Link({1, 1}, {41, 0});
       },
       0, good, 100},
      {"sector number past the end of track 35",
       [](D64Builder& d) {
         d.Link({1, 1}, {35, 17});
       },
       0, good, 100},
      {"first track above 40",
       [](D64Builder& d) {
         d.PutEntry({18, 1}, 1, 130, {41, 0}, "VICTIM");
       },
       0, good, 100},
      {"chain that loops",
       [](D64Builder& d) {
         d.Link({1, 1}, {1, 1});
       },
       0, good, 100},
      {"chain that loops back through another name",
       [](D64Builder& d) {
         d.Link({1, 1}, {2, 0}), d.Link({2, 0}, {1, 21});
       },
       0, good, 100},
      {"first track 0 is passed over",
       [](D64Builder& d) {
         d.PutEntry({18, 1}, 1, 130, {0, 7}, "VICTIM");
       },
       0, good, 0},
      {"directory link to track 0, sector 0",
       [](D64Builder& d) {
         d.Link({18, 1}, {0, 0});
       },
       0, both, 0},
      {"directory loops on itself",
       [](D64Builder& d) {
         d.Link({18, 1}, {18, 1});
       },
       0, both, 0},
      {"directory loops through another name of 18/1",
       [](D64Builder& d) {
         d.Link({18, 1}, {17, 22});
       },
       0, both, 0},
      {"directory links to track 41",
       [](D64Builder& d) {
         d.Link({18, 1}, {41, 0});
       },
       0, both, 100},
  };
  for (const auto& c : cases) {
    D64Builder disk;
    ASSERT_TRUE(disk.AddProgram("GOOD", program));
    ASSERT_TRUE(disk.AddProgram("VICTIM", program));
    ASSERT_EQ(disk.At({18, 1})[32 + 4], 1);
    if (c.damage != nullptr) {
      c.damage(disk);
    }
    Bytes bytes = disk.bytes();
    if (c.cutTo != 0) {
      bytes.resize(c.cutTo);
    }
    const auto result = RunReader(ReadD64, bytes, "d.d64");
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.output, c.output) << c.what;
  }
}

}  // namespace
}  // namespace zumtal
