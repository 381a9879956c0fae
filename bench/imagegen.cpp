// Writes C64 container files made by the project's own builders:
//   imagegen examples DIR           a few small example files and archives
//   imagegen seeds DIR              seed inputs for the fuzzers
//   imagegen collection DIR SCALE   the benchmark's synthetic collection
//   imagegen zipped SRC DIR         each file of SRC as NAME.zip in DIR, every
//                                   tenth as NAME.gz instead; a Zipcode
//                                   set's parts together in one zip
//   imagegen dats DIR ROMS          400 XML DATs of ROMS roms in all, the
//                                   first holding two fifths of them
// Everything is deterministic: the same arguments give the same bytes.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "builders.h"
#include "crt_sid_builders.h"
#include "datgen.h"
#include "g64_builder.h"
#include "nib_builder.h"
#include "zipcode_builder.h"
#include "tap_builder.h"

using namespace zumtal;
using namespace zumtal::testing;

namespace {

void Save(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "imagegen: cannot write %s\n", path.string().c_str());
    std::exit(1);
  }
}

void Save(const std::filesystem::path& path, const Bytes& bytes) {
  Save(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

struct Random {
  std::uint64_t state;
  std::uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  }
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<std::uint32_t>(high - low + 1)); }
};

void Examples(const std::filesystem::path& dir) {
  Save(dir / "hello.prg", Program(0x0801, 120, 7));
  Save(dir / "Game (1985)(Maker).prg", Program(0x1000, 2000, 8));

  DiskBuilder disk;
  disk.SetDiskName("GAMES DISK");
  disk.AddProgram("INVADERS", Program(0x0801, 5000, 1));
  disk.AddProgram("BOULDER RUN", Program(0x0801, 12000, 2));
  disk.AddProgram(std::string("\x12SECRET\x92", 8), Program(0xC000, 300, 3));
  disk.AddProgram("NOTES", Program(0x0000, 700, 4), 10, 129);  // a SEQ file: not reported
  Save(dir / "games.d64", disk.bytes());

  DiskBuilder big(kD64Format, 40, true);
  big.SetDiskName("FORTY TRACKS");
  big.AddProgram("DEMO", Program(0x0801, 40000, 5));
  Save(dir / "forty.d64", big.bytes());

  // A 1571 disk: one program runs from the first side into the second, the
  // next lies wholly on the second.
  DiskBuilder twoSides(kD71Format);
  twoSides.SetDiskName("BOTH SIDES");
  twoSides.AddProgram("FRONT", Program(0x0801, 3000, 10));
  twoSides.AddProgram("LONG STORY", Program(0x0801, 170000, 11), 3);
  twoSides.AddProgram("BACK", Program(0x1C01, 900, 12));
  Save(dir / "example.d71", twoSides.bytes());

  // A 1581 disk with a partition, which is an area rather than a program.
  DiskBuilder big81(kD81Format);
  big81.SetDiskName("THREE AND A HALF");
  big81.AddProgram("LOADER", Program(0x0801, 400, 13), 1);
  big81.AddProgram("GEO AREA", Program(0x0000, 40 * 254, 14), 1, 133);
  big81.AddProgram("MAIN", Program(0x0801, 30000, 15), 1);
  Save(dir / "example.d81", big81.bytes());

  // A G64 image as an original's dump looks: blocks off byte boundaries, a
  // damaged copy of a directory sector before its good one, a data block
  // across the end of its track.
  DiskBuilder original;
  original.SetDiskName("ORIGINAL");
  original.AddProgram("LOADER", Program(0x0801, 600, 16), 4);
  original.AddProgram("INTRO", Program(0x0801, 9000, 17), 4);
  original.AddProgram("GAME", Program(0x4000, 24000, 18), 6);
  G64Builder g64(original.bytes());
  g64.RotateAll(5);
  g64.DamagedCopyFirst(18, 1);
  g64.WrapDataBlock(1, 0);
  Save(dir / "example.g64", g64.Build());

  // A NIB dump of a disk: each track read from somewhere in a data block,
  // off byte boundaries, a little more than one revolution; the directory's
  // second sector with a damaged copy before its good one. The same dump
  // compressed as an NBZ, under another disk.
  DiskBuilder dumped;
  dumped.SetDiskName("RAW DUMP");
  dumped.AddProgram("MENU", Program(0x0801, 1800, 19), 3);
  dumped.AddProgram("ADVENTURE", Program(0x0801, 35000, 20), 7);
  NibBuilder nib(dumped.bytes());
  nib.Sectors().DamagedCopyFirst(18, 1);
  Save(dir / "example.nib", nib.Build());

  DiskBuilder packed;
  packed.SetDiskName("PACKED DUMP");
  packed.AddProgram("PUZZLE", Program(0x0801, 14000, 21), 2);
  packed.AddProgram("EDITOR", Program(0x2000, 6000, 22), 5);
  Save(dir / "example.nbz", NbzCompress(NibBuilder(packed.bytes()).Build()));

  // A Zipcode set: a disk sent in four files, its programs across them.
  DiskBuilder sent;
  sent.SetDiskName("SENT IN FOUR");
  sent.AddProgram("INTRO", Program(0x0801, 2500, 23), 2);
  sent.AddProgram("MAIN GAME", Program(0x0801, 60000, 24), 4);
  const ZipcodeBuilder set(sent.bytes());
  for (int part = 1; part <= 4; ++part) {
    Save(dir / (std::to_string(part) + "!Sent Game (1988)(Maker).z64"), set.Build(part));
  }

  T64Builder tape("DEMO TAPE NUMBER ONE 01", 4);
  tape.AddProgram("FIRST PROGRAM 01", Program(0x0801, 512, 6));
  tape.AddProgram("SECOND", Program(0x2000, 1500, 9));
  Save(dir / "demo.t64", tape.bytes());

  Save(dir / "pinball.p00", P00File("PINBALL", Program(0x0801, 3000, 10)));

  LynxBuilder lynx;
  lynx.Add("SPRITE EDITOR", 'P', Program(0x0801, 4000, 11));
  lynx.Add("README", 'S', Bytes(700, 'x'));
  lynx.Add("TUNE", 'P', Program(0x1000, 1200, 12));
  Save(dir / "tools.lnx", lynx.Build());

  // A cartridge of two 8 KiB banks, and a SID tune.
  CrtBuilder cartridge("SPACE RESCUE");
  cartridge.Add(0x8000, ProgramData(8192, 19), 0);
  cartridge.Add(0x8000, ProgramData(8192, 20), 1);
  Save(dir / "rescue.crt", cartridge.bytes());
  Save(dir / "theme.sid", SidFile("THEME", 0x1000, ProgramData(2400, 21)));

  // A tape as a cassette holds it, a little slow and scattered: a loader
  // with the machine's own routine, a fast-loaded part, then one more file.
  TapBuilder cassette({1, 1.04, 2, 9, 3000, 1500});
  cassette.AddProgram("LOADER", Program(0x0801, 400, 22));
  cassette.AddTurbo(3000);
  cassette.AddProgram("HISCORES", Program(0xC000, 256, 23), 3);
  Save(dir / "cassette.tap", cassette.Build());

  // Archives: a zip with a folder, and a gzipped disk image.
  ZipBuilder zip;
  zip.Add("tapes/demo.t64", tape.bytes());
  zip.Add("hello.prg", Program(0x0801, 120, 7), 0);
  zip.Add("readme.txt", ToBytes("Passed over: not a C64 file.\n"));
  Save(dir / "demos.zip", zip.Build());
  Save(dir / "games.d64.gz", Gzip(disk.bytes()));
}

// Small, varied seeds for the fuzzers: sound files and the usual damage.
void Seeds(const std::filesystem::path& dir) {
  Random random{777};
  for (int i = 0; i < 8; ++i) {
    Save(dir / ("seed" + std::to_string(i) + ".prg"),
         Program(0x0801, static_cast<std::size_t>(i * i * 37), random.Next()));
    T64Builder tape("SEED TAPE", i + 1);
    for (int e = 0; e <= i; ++e) {
      tape.AddProgram("ENTRY", Program(0x0801, static_cast<std::size_t>(random.Between(0, 900)), random.Next()));
    }
    if (i == 5) {
      tape.PutEntry(2, 0x1000, 0x0FFF, 0x12345, "WRAPPED");
    }
    Save(dir / ("seed" + std::to_string(i) + ".t64"), tape.bytes());
    DiskBuilder disk(kD64Format, i % 3 == 0 ? 40 : 35, i % 2 == 1);
    for (int f = 0; f < i * 3; ++f) {
      disk.AddProgram("FILE", Program(0x0801, static_cast<std::size_t>(random.Between(0, 3000)), random.Next()),
                      random.Between(1, 10), f % 4 == 3 ? 129 : 130);
    }
    if (i == 6) {
      disk.Link({18, 1}, {18, 1});
    }
    if (i == 7) {
      disk.bytes().resize(91900);
    }
    Save(dir / ("seed" + std::to_string(i) + ".d64"), disk.bytes());
    if (i == 1 || i == 4) {
      G64Builder g64(disk.bytes());
      g64.RotateAll(static_cast<std::size_t>(i));
      g64.DamagedCopyFirst(18, 1);
      g64.WrapDataBlock(18, 0);
      g64.SetHalfTracks(i == 4);
      Save(dir / ("seed" + std::to_string(i) + ".g64"), g64.Build());
      // One track for the GCR decoder: its number, then its stream.
      Bytes track{18};
      const Bytes stream = g64.TrackStream(18);
      track.insert(track.end(), stream.begin(), stream.end());
      Save(dir / ("seed" + std::to_string(i) + ".gcr"), track);
      // The same disk as a NIB dump, with a block cut by the end of its
      // track, and as an NBZ.
      NibBuilder nib(disk.bytes());
      nib.Sectors().DamagedCopyFirst(18, 1);
      nib.CutDataBlock(18, i == 4 ? 0 : 3);
      Save(dir / ("seed" + std::to_string(i) + ".nib"), nib.Build());
      Save(dir / ("seed" + std::to_string(i) + ".nbz"), NbzCompress(nib.Build(), i == 4 ? 0x55 : -1));
    }
    // Zipcode parts, each after a byte that picks its part.
    if (i == 2 || i == 5) {
      const ZipcodeBuilder set(disk.bytes(), static_cast<std::uint32_t>(i));
      for (int part = 1; part <= 4; ++part) {
        Bytes file{static_cast<std::uint8_t>(part - 1)};
        const Bytes bytes = set.Build(part);
        file.insert(file.end(), bytes.begin(), bytes.end());
        Save(dir / ("seed" + std::to_string(i) + "-" + std::to_string(part) + ".zipcode"), file);
      }
    }
    // Their own numbers, so that the other seeds stay as they were.
    Random own{100u + static_cast<std::uint64_t>(i)};
    Bytes pc64 = P00File(i % 2 == 0 ? "SEED" : PaddedName("SEED"),
                         Program(0x0801, static_cast<std::size_t>(i * i * 37), own.Next()));
    if (i == 7) {
      pc64.resize(27);
    }
    Save(dir / ("seed" + std::to_string(i) + ".p00"), pc64);
    LynxBuilder lynx;
    for (int f = 0; f <= i; ++f) {
      const char type = "PSPURPDP"[f];
      lynx.Add("FILE", type, Program(0x0801, static_cast<std::size_t>(own.Between(0, 900)), own.Next()), 64);
    }
    auto lines = lynx.Lines();
    if (i == 3) {
      lines.pop_back();  // the last file's last line left out
    }
    if (i == 6) {
      lines[1] = " 99999999999999999999 ";
    }
    Save(dir / ("seed" + std::to_string(i) + ".lnx"), lynx.Build(lines, lynx.DirectoryBlocks()));
    CrtBuilder cartridge("SEED", "C64 CARTRIDGE   ", i % 2 == 0 ? 64 : 32);
    for (int c = 0; c <= i % 4; ++c) {
      cartridge.Add(static_cast<std::uint16_t>(0x8000 + 0x2000 * (c % 2)),
                    ProgramData(static_cast<std::size_t>(own.Between(0, 2000)), own.Next()),
                    static_cast<std::uint16_t>(c), static_cast<std::size_t>(c * 3));
    }
    if (i == 6) {
      cartridge.bytes()[cartridge.bytes().size() - 1] = 'C';
    }
    Save(dir / ("seed" + std::to_string(i) + ".crt"), cartridge.bytes());
    Save(dir / ("seed" + std::to_string(i) + ".sid"),
         SidFile("SEED", i % 3 == 0 ? 0 : 0x1000, Program(0x1000, static_cast<std::size_t>(i * i * 20), own.Next()),
                 i % 2 == 0 ? "PSID" : "RSID", static_cast<std::uint16_t>(1 + i % 4)));
    Save(dir / ("seed" + std::to_string(i) + ".gz"), Gzip(disk.bytes()));
    ZipBuilder zip;
    zip.Add("seed.d64", disk.bytes(), i % 2 == 0 ? 8 : 0);
    zip.Add("dir/seed.t64", tape.bytes());
    zip.Add("seed.prg.gz", Gzip(Program(0x0801, static_cast<std::size_t>(i * 50), random.Next())), 0);
    // A Zipcode set, its parts before and after its 1! member.
    if (i == 2 || i == 5) {
      const ZipcodeBuilder set(disk.bytes(), static_cast<std::uint32_t>(i));
      for (const int part : {3, 1, 4, 2}) {
        zip.Add("set/" + std::to_string(part) + "!seed.z64", set.Build(part), part % 2 == 0 ? 0 : 8);
      }
    }
    Save(dir / ("seed" + std::to_string(i) + ".zip"), zip.Build(i == 3));
  }
  // The larger formats: fewer seeds, as each is large.
  for (int i = 0; i < 3; ++i) {
    for (const DiskFormat* format : {&kD71Format, &kD81Format}) {
      DiskBuilder disk(*format, 0, i == 1);
      for (int f = 0; f < 4 + i * 6; ++f) {
        disk.AddProgram("FILE", Program(0x0801, static_cast<std::size_t>(random.Between(0, 60000)), random.Next()),
                        random.Between(1, 10), f % 4 == 3 ? 133 : 130);
      }
      if (i == 2) {
        disk.Link(disk.Directory(1), disk.Directory(0));
      }
      const char* extension = format == &kD71Format ? ".d71" : ".d81";
      Save(dir / ("seed" + std::to_string(i) + extension), disk.bytes());
    }
  }
  // A short track: three sectors, the last one's data block across the end.
  std::vector<GcrCopy> copies{{0, 1, Program(0, 254, 1)}, {1, 1, Program(0, 254, 2)}, {2, 1, Program(0, 254, 3)}};
  copies[1].badDataSum = true;
  Bytes track{1};
  const Bytes stream = GcrTrackStream(copies, 0, 8 * 100 + 5);
  track.insert(track.end(), stream.begin(), stream.end());
  Save(dir / "seed8.gcr", track);

  // DATs in both forms: a game of roms without hashes, a game name with
  // entities and accents, a hash that is not hex, a block left open.
  DatSynthesizer dats(31);
  std::vector<DatGameSpec> games = dats.Games(12);
  games[1].name = "Frogs & Kings' édition";
  games[2].roms = {{"nodump.prg", "100", "", "", ""}, {"upper.prg", "7", "ABCDEF01", "", ""}};
  Save(dir / "seed0.dat", XmlDat("Seed XML", games));
  Save(dir / "seed1.dat", XmlDat("", games, "machine"));
  games[1].name = "Frogs and Kings";
  Save(dir / "seed2.dat", TextDat("Seed text", games));
  Save(dir / "seed3.dat", TextDat("", games));
  games[3].roms[0].crc = "12G45678";
  Save(dir / "seed4.dat", XmlDat("Damaged", games));
  Save(dir / "seed5.dat", TextDat("Damaged", games));
  Save(dir / "seed6.dat", "game ( name \"open\" rom ( name \"x\" crc 12345678 )\n");
  // Tapes with short lead-ins, so that each stays small: both versions,
  // damaged copies, a header without its data, other kinds of block.
  using Damage = TapBuilder::Damage;
  for (int i = 0; i < 4; ++i) {
    TapBuilder tape({i % 2, 0.94 + 0.04 * i, i, 40u + static_cast<std::uint64_t>(i), 80, 70});
    tape.AddPause();
    tape.AddProgram("SEED", Program(0x0801, static_cast<std::size_t>(12 * i), random.Next()), 1,
                    i == 1 ? Damage::kFirst : Damage::kNone,
                    i == 2   ? Damage::kBoth
                    : i == 3 ? Damage::kFirstDropout
                             : Damage::kFirstCountdown);
    if (i == 0) {
      tape.AddHeader(3, 0xC000, 0xC010, "NO DATA");
    }
    if (i == 1) {
      tape.AddDataFile("RECORDS", 1);
    }
    if (i == 3) {
      tape.AddTurbo(20);
      tape.AddProgram("AFTER", Program(0xC000, 5, random.Next()), 3);
    }
    tape.AddEndOfTape();
    Save(dir / ("seed" + std::to_string(i) + ".tap"), tape.Build());
  }
}

std::string Name(const char* stem, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%05d", stem, number);
  return name;
}

// D64 images, T64 archives and PRG files in the proportions of a real
// collection; SCALE 1 gives 2,000 + 500 + 2,000 files, SCALE 0 a tenth.
// Every tenth disk (the names ending in 0) is also written as a D71, a D81
// and a G64 image holding the same programs, and as a NIB, an NBZ and a
// Zipcode set of its sectors, to compare the formats.
void Collection(const std::filesystem::path& dir, int scale) {
  Random random{12345};
  const int disks = scale == 0 ? 200 : 2000 * scale;
  const int tapes = disks / 4;
  const int programs = disks;
  for (int i = 0; i < disks; ++i) {
    DiskBuilder disk(kD64Format, i % 2 == 0 ? 35 : 40, i % 4 < 2);
    disk.SetDiskName(Name("DISK ", i));
    const int files = random.Between(5, 40);
    const int capacity = (i % 2 == 0 ? 664 : 749) * 254;
    const int fill = capacity * random.Between(20, 95) / 100;
    DiskBuilder twoSides(kD71Format);
    DiskBuilder big81(kD81Format);
    twoSides.SetDiskName(Name("DISK ", i));
    big81.SetDiskName(Name("DISK ", i));
    for (int f = 0; f < files; ++f) {
      const int size = std::max(2, fill / files + random.Between(-200, 200));
      const Bytes program = Program(0x0801, static_cast<std::size_t>(size), random.Next());
      const int interleave = random.Between(3, 10);
      if (!disk.AddProgram(Name("PROG ", f), program, interleave)) {
        break;
      }
      if (i % 10 == 0) {
        twoSides.AddProgram(Name("PROG ", f), program, interleave);
        big81.AddProgram(Name("PROG ", f), program, interleave);
      }
    }
    Save(dir / (Name("disk", i) + ".d64"), disk.bytes());
    if (i % 10 == 0) {
      Save(dir / (Name("disk", i) + ".d71"), twoSides.bytes());
      Save(dir / (Name("disk", i) + ".d81"), big81.bytes());
      G64Builder g64(disk.bytes());
      g64.RotateAll(static_cast<std::size_t>(i / 10 % 8));
      Save(dir / (Name("disk", i) + ".g64"), g64.Build());
      const Bytes nib = NibBuilder(disk.bytes()).Build();
      Save(dir / (Name("disk", i) + ".nib"), nib);
      Save(dir / (Name("disk", i) + ".nbz"), NbzCompress(nib));
      const ZipcodeBuilder set(disk.bytes(), static_cast<std::uint32_t>(i));
      for (int part = 1; part <= 4; ++part) {
        Save(dir / (std::to_string(part) + "!" + Name("disk", i) + ".z64"), set.Build(part));
      }
    }
  }
  for (int i = 0; i < tapes; ++i) {
    const int entries = random.Between(1, 30);
    T64Builder tape(Name("TAPE ", i), entries);
    const bool large = i % 5 == 0;
    for (int e = 0; e < entries; ++e) {
      const int size = large ? random.Between(2000, 30000) : random.Between(200, 4000);
      tape.AddProgram(Name("ENTRY ", e), Program(0x0801, static_cast<std::size_t>(size), random.Next()));
    }
    Save(dir / (Name("tape", i) + ".t64"), tape.bytes());
  }
  for (int i = 0; i < programs; ++i) {
    Save(dir / (Name("prog", i) + ".prg"),
         Program(0x0801, static_cast<std::size_t>(random.Between(1024, 50 * 1024)), random.Next()));
  }
}

// Each file in its own zip archive, as collections travel.
void Zipped(const std::filesystem::path& source, const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(source)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.front() != '.') {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  const auto read = [&](const std::string& name) {
    std::ifstream in(source / name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  // A Zipcode set's four parts go in one zip, under the name they share:
  // each part reads the others beside it.
  std::map<std::string, std::vector<std::string>> sets;
  for (const std::string& name : names) {
    if (name.size() > 2 && name[1] == '!' && name.ends_with(".z64")) {
      sets[name.substr(2)].push_back(name);
    }
  }
  for (const auto& [shared, parts] : sets) {
    ZipBuilder zip;
    for (const std::string& part : parts) {
      zip.Add(part, read(part));
    }
    Save(dir / (shared + ".zip"), zip.Build());
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].size() > 2 && names[i][1] == '!' && names[i].ends_with(".z64")) {
      continue;
    }
    const Bytes bytes = read(names[i]);
    if (i % 10 == 9) {
      Save(dir / (names[i] + ".gz"), Gzip(bytes));
      continue;
    }
    ZipBuilder zip;
    zip.Add(names[i], bytes);
    Save(dir / (names[i] + ".zip"), zip.Build());
  }
}

// The collectors' DATs, as the benchmark loads them: 400 XML DATs, the
// first holding two fifths of the roms, the rest sharing the others.
void Dats(const std::filesystem::path& dir, std::size_t roms) {
  constexpr std::size_t kDats = 400;
  DatSynthesizer synthesizer(4242);
  std::size_t left = roms;
  for (std::size_t i = 0; i < kDats; ++i) {
    const std::size_t count = i == 0 ? roms * 2 / 5 : left / (kDats - i);
    left -= count;
    char name[64];
    std::snprintf(name, sizeof name, "Commodore C64 - Games - Category %03zu [PRG]", i);
    Save(dir / (std::string(name) + ".dat"), XmlDat(name, synthesizer.Games(count)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc == 3 && mode == "examples") {
    std::filesystem::create_directories(argv[2]);
    Examples(argv[2]);
    return 0;
  }
  if (argc == 3 && mode == "seeds") {
    std::filesystem::create_directories(argv[2]);
    Seeds(argv[2]);
    return 0;
  }
  if (argc == 4 && mode == "zipped") {
    std::filesystem::create_directories(argv[3]);
    Zipped(argv[2], argv[3]);
    return 0;
  }
  if (argc == 4 && mode == "collection") {
    std::filesystem::create_directories(argv[2]);
    Collection(argv[2], std::atoi(argv[3]));
    return 0;
  }
  if (argc == 4 && mode == "dats") {
    std::filesystem::create_directories(argv[2]);
    Dats(argv[2], static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10)));
    return 0;
  }
  std::fprintf(stderr,
               "usage: imagegen examples|seeds DIR | imagegen collection DIR SCALE | imagegen zipped SRC DIR | "
               "imagegen dats DIR ROMS\n");
  return 2;
}
