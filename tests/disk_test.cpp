// The disk image readers, every case over each format of the family.
#include <gtest/gtest.h>

#include "g64_builder.h"
#include "support/harness.h"

namespace zumtal {
namespace {

using namespace testing;

const std::string kBlankHex = ToHex(PaddedName("BLANK"));

struct Format {
  const char* extension;
  const DiskFormat* format;
  Reader reader;
  std::vector<int> tracks;  // the image sizes in use
  bool gcr = false;         // the disk built as a D64, then written as a G64
};

const Format kFormats[] = {
    {"d64", &kD64Format, ReadD64, {35, 40}},
    {"d71", &kD71Format, ReadD71, {70}},
    {"d81", &kD81Format, ReadD81, {80}},
    {"g64", &kD64Format, ReadG64, {35, 40}, true},
};

class DiskReader : public ::testing::TestWithParam<Format> {
 protected:
  DiskBuilder Blank(int tracks = 0, bool errorBytes = false) const {
    return DiskBuilder(*GetParam().format, tracks, errorBytes);
  }
  std::string FileName() const { return std::string("d.") + GetParam().extension; }
  ReaderResult Run(const Bytes& bytes) const {
    return RunReader(GetParam().reader, GetParam().gcr ? G64Builder(bytes).Build() : bytes, FileName());
  }
  std::string Line(std::string_view name, std::int64_t load, std::int64_t size, std::int64_t crc) const {
    return CsvLine(FileName(), "BLANK           ", ToPrintable(PaddedName(name)), load, size, crc, kBlankHex,
                   ToHex(PaddedName(name)));
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, DiskReader, ::testing::ValuesIn(kFormats),
                         [](const auto& param) { return std::string(param.param.extension); });

// Fills a sector's 256 bytes with a pattern, then sets its link.
void FillSector(DiskBuilder& disk, DiskBuilder::Sector sector, DiskBuilder::Sector link, std::uint8_t seed) {
  for (int i = 0; i < 256; ++i) {
    disk.At(sector)[i] = static_cast<std::uint8_t>(seed + i * 7);
  }
  disk.Link(sector, link);
}

std::uint32_t SumRange(DiskBuilder& disk, DiskBuilder::Sector sector, int from, int to) {
  std::uint32_t sum = 0;
  for (int i = from; i <= to; ++i) {
    sum += disk.At(sector)[i];
  }
  return sum;
}

// The load address is never summed; each sector gives its bytes up to its
// last data offset.
TEST_P(DiskReader, ChainWalkAndLastSectorLinks) {
  const struct {
    const char* what;
    std::vector<DiskBuilder::Sector> links;  // one per sector of the chain
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
    DiskBuilder disk = Blank();
    std::vector<DiskBuilder::Sector> chain{{1, 0}};
    for (std::size_t i = 0; i + 1 < c.links.size(); ++i) {
      chain.push_back(c.links[i]);
    }
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < chain.size(); ++i) {
      FillSector(disk, chain[i], c.links[i], static_cast<std::uint8_t>(i * 40 + 1));
      const int last = c.links[i].first != 0 ? 255 : c.links[i].second;
      crc += SumRange(disk, chain[i], i == 0 ? 4 : 2, last);
    }
    disk.PutEntry(disk.Directory(0), 3, 130, {1, 0}, "X");
    const auto load = disk.At({1, 0})[2] | disk.At({1, 0})[3] << 8;
    EXPECT_EQ(Run(disk.bytes()).output, Line("X", load, c.size, crc)) << c.what;
  }
}

TEST_P(DiskReader, SameProgramSameSizeAndCrcAsPrg) {
  for (const std::size_t dataSize : {0u, 1u, 252u, 253u, 254u, 506u, 70000u}) {
    DiskBuilder disk = Blank(GetParam().tracks.back());
    const Bytes program = Program(0x0801, dataSize, static_cast<std::uint32_t>(dataSize));
    ASSERT_TRUE(disk.AddProgram("P", program));
    const auto disk_output = Run(disk.bytes()).output;
    const auto prg = RunReader(ReadPrg, program, "P.prg").output;
    // Load address, size and raw CRC: the fields after the third quote pair.
    const auto numbers = [](const std::string& line) {
      const auto start = line.find("\",", line.find("\",\"", line.find("\",\"") + 1) + 1);
      return line.substr(start, line.find(",\"", start) - start);
    };
    EXPECT_EQ(numbers(disk_output), numbers(prg)) << dataSize;
  }
}

// Sequential, user, relative and deleted files, unclosed and locked
// programs, and 1581 partitions (133) give no report.
TEST_P(DiskReader, OnlyClosedProgramsAreReported) {
  DiskBuilder disk = Blank();
  const Bytes program = Program(0x1000, 10);
  const std::uint8_t others[] = {0, 2, 128, 129, 131, 132, 133, 194};
  for (const std::uint8_t type : others) {
    ASSERT_TRUE(disk.AddProgram("OTHER", program, 10, type));
  }
  ASSERT_TRUE(disk.AddProgram("PROGRAM", program));
  EXPECT_EQ(Run(disk.bytes()).output, Line("PROGRAM", 0x1000, 10, Sum(program, 2)));
}

// The directory is followed wherever its links lead, off its own track too.
TEST_P(DiskReader, DirectorySectorsInLinkOrderAndNamesEncoded) {
  DiskBuilder disk = Blank();
  FillSector(disk, {1, 0}, {0, 5}, 0);
  const DiskBuilder::Sector offTrack{disk.format().directoryTrack + 1, 2};
  disk.Link(disk.Directory(0), disk.Directory(3));
  disk.Link(disk.Directory(3), disk.Directory(6));
  disk.Link(disk.Directory(6), offTrack);
  disk.Link(offTrack, {0, 255});
  disk.PutEntry(offTrack, 1, 130, {1, 0}, "FOURTH");
  disk.PutEntry(disk.Directory(6), 0, 130, {1, 0}, "THIRD");
  disk.PutEntry(disk.Directory(3), 7, 130, {1, 0}, "SECOND");
  disk.PutEntry(disk.Directory(0), 2, 130, {1, 0}, std::string("F\x01RST\xA0\x41\xFFxxxxxxx", 16));
  disk.SetDiskName(std::string("D\0SK", 4));
  const auto output = Run(disk.bytes()).output;
  const auto first = output.find("F RST A xxxxxxx");
  EXPECT_NE(first, std::string::npos);
  EXPECT_NE(output.find("4601525354A041FF7878787878787800"), std::string::npos);
  EXPECT_NE(output.find("\"D SK            \""), std::string::npos);
  EXPECT_NE(output.find("\"4400534BA0A0A0A0A0A0A0A0A0A0A0A0\""), std::string::npos);
  EXPECT_LT(first, output.find("SECOND"));
  EXPECT_LT(output.find("SECOND"), output.find("THIRD"));
  EXPECT_LT(output.find("THIRD"), output.find("FOURTH"));
  EXPECT_NE(output.find("FOURTH"), std::string::npos);
}

// Every slot of the directory track in use (D64 and D71 144 entries, D81
// 296): each is listed once.
TEST_P(DiskReader, FullDirectory) {
  DiskBuilder disk = Blank();
  std::string expected;
  for (int i = 0; i < disk.DirectoryCapacity(); ++i) {
    const Bytes program = Program(0x0801, 20 + static_cast<std::size_t>(i), static_cast<std::uint32_t>(i));
    ASSERT_TRUE(disk.AddProgram("P" + std::to_string(i), program, 1));
    expected += Line("P" + std::to_string(i), 0x0801, 20 + i, Sum(program, 2));
  }
  EXPECT_FALSE(disk.AddProgram("ONE TOO MANY", Program(0x0801, 1)));
  const auto result = Run(disk.bytes());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, expected);
}

TEST_P(DiskReader, ImageSizesAndErrorBytesDoNotChangeTheReport) {
  std::string expected;
  for (const int tracks : GetParam().tracks) {
    for (const bool errors : {false, true}) {
      DiskBuilder disk = Blank(tracks, errors);
      ASSERT_TRUE(disk.AddProgram("GAME", Program(2049, 3000)));
      const auto result = Run(disk.bytes());
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
// A G64 is not cut here (its own table cuts it), and its tracks hold only
// their own sectors: a sector number past the track's count is absent.
TEST_P(DiskReader, DamagedImages) {
  const Bytes program = Program(2049, 100);
  const std::string good = Line("GOOD", 2049, 100, Sum(program, 2));
  const std::string both = good + Line("VICTIM", 2049, 100, Sum(program, 2));
  using Disk = DiskBuilder&;
  const struct {
    const char* what;
    void (*damage)(Disk);
    std::size_t (*cutTo)(Disk);  // nullptr: keep whole
    std::string output;
    int status;
    bool furtherOn = false;  // a place further on in a plain image; absent in a G64
  } cases[] = {
      {"cut before disk name ends", nullptr,
       [](Disk d) { return d.Position(d.Header()) + d.format().diskNameOffset + 15; }, "", 100},
      {"cut inside entry 7 of the first directory sector", nullptr,
       [](Disk d) { return d.Position(d.Directory(0)) + 244; }, both, 100},
      {"cut after first directory sector", nullptr, [](Disk d) { return d.Position(d.Directory(0)) + 256; }, both, 0},
      {"chain into the track after the image's last",
       [](Disk d) {
         d.Link({1, 1}, {d.tracks() + 1, 0});
       },
       nullptr, good, 100},
      {"chain into the track after the format's last",
       [](Disk d) {
         d.Link({1, 1}, {d.format().lastTrack + 1, 0});
       },
       nullptr, good, 100},
      {"sector number past the end of the last track",
       [](Disk d) {
         d.Link({1, 1}, {d.tracks(), d.SectorsOf(d.tracks())});
       },
       nullptr, good, 100},
      {"first track after the format's last",
       [](Disk d) {
         d.PutEntry(d.Directory(0), 1, 130, {d.format().lastTrack + 1, 0}, "VICTIM");
       },
       nullptr, good, 100},
      {"chain that loops",
       [](Disk d) {
         d.Link({1, 1}, {1, 1});
       },
       nullptr, good, 100},
      {"chain that loops back through another name",
       [](Disk d) {
         d.Link({1, 1}, {2, 0}), d.Link({2, 0}, {1, d.SectorsOf(1)});
       },
       nullptr, good, 100},
      {"first track 0 is passed over",
       [](Disk d) {
         d.PutEntry(d.Directory(0), 1, 130, {0, 7}, "VICTIM");
       },
       nullptr, good, 0},
      {"directory link to track 0, sector 0",
       [](Disk d) {
         d.Link(d.Directory(0), {0, 0});
       },
       nullptr, both, 0},
      {"directory loops on itself", [](Disk d) { d.Link(d.Directory(0), d.Directory(0)); }, nullptr, both, 0},
      {"directory loops through another name of its first sector",
       [](Disk d) {
         const int before = d.format().directoryTrack - 1;
         d.Link(d.Directory(0), {before, d.SectorsOf(before) + d.format().directorySector});
       },
       nullptr, both, 0, true},
      {"directory links to the track after the format's last",
       [](Disk d) {
         d.Link(d.Directory(0), {d.format().lastTrack + 1, 0});
       },
       nullptr, both, 100},
  };
  for (const auto& c : cases) {
    if (GetParam().gcr && c.cutTo != nullptr) {
      continue;
    }
    DiskBuilder disk = Blank();
    ASSERT_TRUE(disk.AddProgram("GOOD", program));
    ASSERT_TRUE(disk.AddProgram("VICTIM", program));
    ASSERT_EQ(disk.At(disk.Directory(0))[32 + 4], 1);
    if (c.damage != nullptr) {
      c.damage(disk);
    }
    Bytes bytes = disk.bytes();
    if (c.cutTo != nullptr) {
      bytes.resize(c.cutTo(disk));
    }
    const auto result = Run(bytes);
    EXPECT_EQ(result.status, GetParam().gcr && c.furtherOn ? 100 : c.status) << c.what;
    EXPECT_EQ(result.output, c.output) << c.what;
  }
}

// Where each format keeps its sectors, from the byte offsets of the
// formats' own descriptions rather than the builders' arithmetic: a chain
// is written at those offsets by hand and must be read whole.
TEST(DiskGeometry, ChainsFoundAtTheirByteOffsets) {
  const struct {
    const char* what;
    Reader reader;
    const DiskFormat* format;
    std::vector<std::pair<DiskBuilder::Sector, std::size_t>> chain;  // sector, its byte offset
  } cases[] = {
      {"D64 last sector of track 35", ReadD64, &kD64Format, {{{35, 16}, 174592}}},
      {"D71 across the sides", ReadD71, &kD71Format, {{{35, 16}, 174592}, {{36, 0}, 174848}}},
      {"D71 side two, BAM track and last track",
       ReadD71,
       &kD71Format,
       {{{53, 5}, 174848 + 17 * 21 * 256 + 5 * 256}, {{70, 16}, 349696 - 256}}},
      {"D71 side two, zones", ReadD71, &kD71Format, {{{60, 17}, 174848 + 125440 + 17 * 256}}},
      {"D81 first and last sector", ReadD81, &kD81Format, {{{1, 0}, 0}, {{80, 39}, 819200 - 256}}},
      {"D81 after the directory track", ReadD81, &kD81Format, {{{41, 7}, 256 * (40 * 40 + 7)}}},
  };
  for (const auto& c : cases) {
    DiskBuilder disk(*c.format);
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    for (std::size_t i = 0; i < c.chain.size(); ++i) {
      std::uint8_t* sector = disk.bytes().data() + c.chain[i].second;
      const bool last = i + 1 == c.chain.size();
      sector[0] = static_cast<std::uint8_t>(last ? 0 : c.chain[i + 1].first.first);
      sector[1] = static_cast<std::uint8_t>(last ? 200 : c.chain[i + 1].first.second);
      for (int b = 2; b <= (last ? 200 : 255); ++b) {
        sector[b] = static_cast<std::uint8_t>(static_cast<std::size_t>(b) + 3 * i);
        if (b >= (i == 0 ? 4 : 2)) {
          crc += sector[b];
          ++size;
        }
      }
    }
    disk.PutEntry(disk.Directory(0), 0, 130, c.chain.front().first, "AT OFFSET");
    const std::string name = "d." + std::string(c.what, 3);
    EXPECT_EQ(RunReader(c.reader, disk.bytes(), name).output,
              CsvLine(name, "BLANK           ", "AT OFFSET       ", 0x0302, size, crc, kBlankHex,
                      ToHex(PaddedName("AT OFFSET"))))
        << c.what;
  }
}

// G64 images of one disk: GOOD wholly on track 1, VICTIM from 1/1 on across
// tracks 1 to 3. Each case edits the G64 that the builder writes of it.
struct G64Disk {
  Bytes small = Program(2049, 600, 1);
  Bytes large = Program(2049, 10000, 2);
  DiskBuilder disk = [this] {
    DiskBuilder d;
    d.AddProgram("GOOD", small, 10);
    d.AddProgram("VICTIM", large, 1);
    return d;
  }();
  G64Builder g64{disk.bytes(), 42};
  std::string good = Line("GOOD", small);
  std::string both = good + Line("VICTIM", large);

  static std::string Line(std::string_view name, const Bytes& program) {
    return CsvLine("d.g64", "BLANK           ", ToPrintable(PaddedName(name)), 2049,
                   static_cast<std::int64_t>(program.size() - 2), Sum(program, 2), kBlankHex, ToHex(PaddedName(name)));
  }
};

// A sector is the first good copy on its own track; one that the walk needs
// and cannot have ends the run after the reports before it.
TEST(G64Reader, SectorsFromTheirFirstGoodCopy) {
  using G = G64Builder&;
  const struct {
    const char* what;
    void (*edit)(G);
    bool victimListed;
    int status;
  } cases[] = {
      {"as built", [](G) {}, true, 0},
      {"blocks 3 bits off byte boundaries", [](G g) { g.RotateAll(3); }, true, 0},
      {"damaged first copy of a directory sector", [](G g) { g.DamagedCopyFirst(18, 1); }, true, 0},
      {"damaged first copy of a chain sector", [](G g) { g.DamagedCopyFirst(1, 1); }, true, 0},
      {"chain sector's data block across the track's end", [](G g) { g.WrapDataBlock(1, 1); }, true, 0},
      {"half-track entries present", [](G g) { g.SetHalfTracks(true); }, true, 0},
      {"VICTIM's first sector moved to track 42",
       [](G g) {
         g.Copy(42, 16).data = g.Copy(1, 1).data;
         g.Copy(18, 1).data[32 + 3] = 42, g.Copy(18, 1).data[32 + 4] = 16;
       },
       true, 0},
      {"a track the chain crosses absent", [](G g) { g.SetAbsent(2); }, false, 100},
      {"only copy of a chain sector damaged", [](G g) { g.Copy(2, 5).badDataSum = true; }, false, 100},
      {"link to a sector number past the track's count",
       [](G g) { g.Copy(1, 1).data[0] = 17, g.Copy(1, 1).data[1] = 21; }, false, 100},
  };
  for (const auto& c : cases) {
    G64Disk disk;
    c.edit(disk.g64);
    const auto result = RunReader(ReadG64, disk.g64.Build(), "d.g64");
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.output, c.victimListed ? disk.both : disk.good) << c.what;
  }
}

// Hostile headers and streams: bounded time and memory, then the reports of
// what could be read, or none and 100.
TEST(G64Reader, HostileImages) {
  const auto offset = [](const Bytes& image, int track) {
    const std::size_t at = 12 + 8 * static_cast<std::size_t>(track - 1);
    return std::size_t{image[at]} | std::size_t{image[at + 1]} << 8 | std::size_t{image[at + 2]} << 16;
  };
  const auto put = [](Bytes& image, std::size_t at, std::size_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  };
  const auto fill = [&offset](Bytes& image, int track, std::uint8_t byte) {
    const std::size_t at = offset(image, track);
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(at + 2), image[at] | image[at + 1] << 8, byte);
  };
  using Edit = std::function<void(Bytes&)>;
  const struct {
    const char* what;
    Edit edit;
    int reports;  // of GOOD and VICTIM, in order
    int status;
  } cases[] = {
      {"track lengths above the header's maximum", [&](Bytes& i) { put(i, 10, 100, 2); }, 2, 0},
      {"an unused track past the end of the file", [&](Bytes& i) { put(i, 12 + 8 * 29, 0xFFFFFFF0, 4); }, 2, 0},
      {"header cut inside the offsets", [](Bytes& i) { i.resize(100); }, 0, 100},
      {"entries end before the directory track", [](Bytes& i) { i[9] = 34; }, 0, 100},
      {"directory track's offset past the end", [&](Bytes& i) { put(i, 12 + 8 * 17, 0xFFFFFFF0, 4); }, 0, 100},
      {"directory track cut by the end of the file", [&](Bytes& i) { i.resize(offset(i, 18) + 3000); }, 0, 100},
      {"length 0", [&](Bytes& i) { put(i, offset(i, 18), 0, 2); }, 0, 100},
      {"no sync: all 1 bits", [&](Bytes& i) { fill(i, 18, 0xFF); }, 0, 100},
      {"no sync: all 0 bits", [&](Bytes& i) { fill(i, 18, 0x00); }, 0, 100},
      {"half a directory block at the end",
       [&](Bytes& i) { put(i, offset(i, 18), kGcrCopyBytes + kGcrDataStart + 160, 2); }, 0, 100},
      {"84 entries on the directory track's stream",
       [&](Bytes& i) {
         const std::size_t directory = offset(i, 18);
         for (std::size_t e = 0; e < 84; ++e) {
           put(i, 12 + 4 * e, directory, 4);
         }
       },
       0, 100},
      {"a chain track's length runs on into the next tracks", [&](Bytes& i) { put(i, offset(i, 2), 65535, 2); }, 2, 0},
  };
  for (const auto& c : cases) {
    G64Disk disk;
    Bytes image = disk.g64.Build();
    c.edit(image);
    const auto result = RunReader(ReadG64, image, "d.g64");
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.output, c.reports == 2 ? disk.both : c.reports == 1 ? disk.good : "") << c.what;
  }
}

}  // namespace
}  // namespace zumtal
