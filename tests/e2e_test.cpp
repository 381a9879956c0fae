// The built program, run over trees that the builders make. Each tree has a
// list of scenarios (arguments); the status, output and errors of each are
// compared with the tree's golden file, tests/data/e2e/TREE.golden
// (ZUMTAL_UPDATE_GOLDEN=1 writes them anew: review the difference before
// committing it). Every run is made on one thread and on eight, which must
// agree byte for byte, failure traces included.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "g64_builder.h"
#include "nib_builder.h"
#include "readers/input_file.h"
#include "support/harness.h"
#include "support/process.h"
#include "zipcode_builder.h"

namespace zumtal {
namespace {

using namespace testing;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

// Enough programs to reach past the directory track, so that cuts fall in chains.
DiskBuilder SoundDisk(const DiskFormat& format = kD64Format) {
  DiskBuilder disk(format);
  for (int i = 0; i < 12; ++i) {
    disk.AddProgram("PROGRAM " + std::to_string(i), Program(0x0801, 13000, 99u + static_cast<std::uint32_t>(i)));
  }
  return disk;
}

// The first place where two texts part, with a little of each from there.
std::string Difference(const std::string& a, const std::string& b) {
  const auto at = static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
  return a == b ? ""
                : "at byte " + std::to_string(at) + ": [" + a.substr(at, 80) + "] against [" + b.substr(at, 80) + "]";
}

RunResult RunOrdered(const fs::path& dir, const Args& args, Stdout mode = Stdout::kPipe) {
  if (args.empty()) {  // the usage text: any option would make it a run
    return RunProgram(dir, args, mode);
  }
  const auto on = [&](const char* threads) {
    Args withThreads{"-j", threads};
    withThreads.insert(withThreads.end(), args.begin(), args.end());
    return RunProgram(dir, withThreads, mode);
  };
  const auto all = [](const RunResult& r) { return std::to_string(r.status) + "\n" + r.errors + "\n" + r.output; };
  RunResult one = on("1");
  const RunResult eight = on("8");
  EXPECT_EQ(Difference(all(one), all(eight)), "") << "-j 8 " << args.back();
  one.maxRssKb = std::max(one.maxRssKb, eight.maxRssKb);
  return one;
}

// What a golden file keeps of an output: code addresses in failure traces
// differ from build to build and go; a long output is kept as its start and
// a checksum.
std::string Kept(std::string text) {
  if (text.find(" at 0x") != std::string::npos) {
    text = std::regex_replace(text, std::regex("( at 0x[0-9A-F]{8}|\r\n\t?  0x[0-9A-F]{8})"), "");
  }
  if (text.size() <= 400000) {
    return text;
  }
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
  return text.substr(0, 2000) + "\n[... " + std::to_string(text.size()) + " bytes, " +
         std::to_string(std::count(text.begin(), text.end(), '\n')) + " lines, CRC-32 " + std::to_string(crc) + "]\n";
}

// What every run must show, whatever its golden bytes: it ends in time and
// in bounded memory; a failure trace starts at the failing place; JSON Lines
// are compact objects in valid UTF-8, the failure last; a DAT is valid.
void CheckProperties(const std::string& last, const Args& args, const RunResult& result, [[maybe_unused]] long maxKb) {
  const std::string& out = result.output;
#ifndef ZUMTAL_SANITIZED
  EXPECT_LT(result.maxRssKb, maxKb) << last;
#endif
  const auto has = [&args](const char* option) { return std::find(args.begin(), args.end(), option) != args.end(); };
  if (out.find("Runtime error") != std::string::npos && !has("--dat")) {
    static const std::regex trace("Runtime error 100 at 0x([0-9A-F]{8})\r\n  0x\\1\r\n(  0x[0-9A-F]{8}\r\n)+\r\n$");
    EXPECT_TRUE(std::regex_search(out, trace)) << last;
  }
  if (has("--json")) {
    EXPECT_EQ(out.find('\r'), std::string::npos) << last;
    std::istringstream lines(out);
    bool ended = false;
    for (std::string line; std::getline(lines, line);) {
      EXPECT_FALSE(ended) << "after the failure: " << line;
      const auto object = nlohmann::ordered_json::parse(line);  // throws on invalid JSON or UTF-8
      EXPECT_EQ(object.dump(), line);
      ended = object.contains("status") && object["status"].is_number();
    }
  }
  if (has("--dat") && std::system("xmllint --version >/dev/null 2>&1") == 0) {
    const TempDir dir;  // xmllint names what it finds on standard error
    dir.Write("out.xml", ToBytes(out));
    const std::string xml = "xmllint --noout --nonet --dtdvalid " ZUMTAL_TEST_DATA "/datafile.dtd ";
    EXPECT_EQ(std::system((xml + (dir.path() / "out.xml").string()).c_str()), 0);
  }
}

// Runs a tree's scenarios in `dir` (each its arguments, split at blanks) and
// compares them with the tree's golden file.
void RunScenarios(const std::string& tree, const fs::path& dir, const std::vector<std::string>& scenarios,
                  long maxKb = 150 * 1024) {
  std::string text;
  for (const std::string& scenario : scenarios) {
    Args args;
    for (std::istringstream words(scenario); words >> args.emplace_back();) {
    }
    args.pop_back();
    const RunResult result = RunOrdered(dir, args);
    CheckProperties(scenario, args, result, maxKb);
    text += "#### zumtal " + scenario + " (status " + std::to_string(result.status) + ")\n" + Kept(result.output);
    text += result.errors.empty() ? "" : "#### stderr\n" + result.errors;
  }
  const fs::path golden = fs::path(ZUMTAL_TEST_DATA) / "e2e" / (tree + ".golden");
  if (std::getenv("ZUMTAL_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(golden, std::ios::binary) << text;
    GTEST_SKIP() << "wrote " << golden;
  }
  std::ifstream in(golden, std::ios::binary);
  EXPECT_EQ(Difference(std::string(std::istreambuf_iterator<char>(in), {}), text), "") << golden;
}

// Ordinary and awkward entries: odd names, links, FIFOs, folders named like
// files, PC64 files of other types, a Lynx-named cartridge, names that are
// not UTF-8, a cut disk.
TEST(EndToEnd, Basic) {
  const TempDir dir;
  for (const std::string& name :
       std::vector<std::string>{"a.prg", "b.PRG", "disks/c.prg", "Game (1985)(Maker)[cr].prg", ".hidden.prg",
                                "odd\xFF\x01\"q.prg", std::string(150, 'n') + ".prg"}) {
    dir.Write(name, PrgFile(name.substr(0, 2)));
  }
  for (const char* name : {"ab", "readme.txt", "stderr.txt", "STDERR.TXT", "x.s00"}) {
    dir.Write(name, {});
  }
  dir.Write("short.prg", {7});
  dir.Write("atari.lnx", ToBytes(std::string_view("LYNX\0\2\0\1\0\0GAME", 14)));
  dir.Write("z.P07", P00File("Z", PrgFile("Z")));
  T64Builder tape("T\xC3\xA9P\xFF\x07", 2);
  tape.AddProgram("E\x80\n", Program(2049, 300));
  tape.AddProgram("F\\", Program(2049, 70));
  dir.Write("tape.t64", tape.bytes());
  DiskBuilder disk = SoundDisk();
  dir.Write("games.d64", disk.bytes());
  disk.bytes().resize(100000);
  dir.Write("cut.d64", disk.bytes());
  fs::create_directory(dir.path() / "dir.prg");
  fs::create_directory(dir.path() / "x.t64");
  mkfifo((dir.path() / "fifo.prg").c_str(), 0600);
  mkfifo((dir.path() / "x.d64").c_str(), 0600);
  fs::create_symlink("nowhere", dir.path() / "dangling.prg");
  fs::create_symlink("a.prg", dir.path() / "link.prg");
  // The last, with no argument: the usage text.
  // clang-format off
  RunScenarios("basic", dir.path(),
               {"-l", "-L x -l", "--version", "--help", "-l --bogus a.prg", "-k a.prg --bogus",
                "ab readme.txt stderr.txt STDERR.TXT", "a.prg a.prg nothing* b.PRG", "-l b.PRG", "[a-z]* *.prg",
                "a.prg short.prg b.PRG", "x.s00 atari.lnx z.P07",
                "disks/*.prg .h* dir.prg fifo.prg x.d64 x.t64 disks/ nodir/*",
                "--json a.prg odd* tape.t64 games.d64 readme.txt dangling.prg", "--json a.prg short.prg a.prg",
                "--json cut.d64", "--json", "--json -l a.prg", "-l --json a.prg", ""});
  // clang-format on
}

// A collection: nested folders, archives in archives, a damaged member among
// good ones, and what -r passes over.
TEST(EndToEnd, RecursiveTreeWithArchives) {
  const TempDir dir;
  DiskBuilder disk;
  disk.SetDiskName("TREE DISK");
  disk.AddProgram("ONE", Program(0x0801, 3000, 11));
  T64Builder tape("TREE TAPE", 2);
  tape.AddProgram("TAPED", Program(0x1000, 700, 12));
  dir.Write("C64/a.prg", PrgFile("AB"));
  dir.Write("C64/Games/B/boulder.d64", disk.bytes());
  ZipBuilder pack;
  pack.Add("disks/x.d64", disk.bytes());
  pack.Add("tapes/t.t64.gz", Gzip(tape.bytes()), 0);
  pack.Add("notes.txt", ToBytes("not read"));
  dir.Write("C64/Games/pack.zip", pack.Build());
  ZipBuilder broken;
  broken.Add("good1.prg", PrgFile("1"));
  broken.Add("bad.prg", PrgFile("2")).crc ^= 1;
  broken.Add("good2.prg", PrgFile("3"), 0);
  dir.Write("C64/Broken/bad.zip", broken.Build());
  dir.Write("C64/readme.txt", {});
  dir.Write("C64/.hidden/h.prg", PrgFile("H"));
  fs::create_directory_symlink("..", dir.path() / "C64/Games/up");
  fs::create_directory_symlink("Games", dir.path() / "C64/linked.d64");  // a folder's link, named as a disk
  RunScenarios("archives", dir.path(), {"-r C64", "-r -k C64/", "-r C64/*.prg", "C64/Games/pack.zip"});
}

// --match: DATs in both forms, as a folder, a zip and one file, against a
// disk (whole and by its programs), a zip member, a gzip file's content and
// programs no DAT names; DATs that cannot be read; the round trip of --dat.
TEST(EndToEnd, Match) {
  const TempDir dir;
  DiskBuilder disk = SoundDisk();
  dir.Write("games/sound.d64", disk.bytes());
  dir.Write("games/hello.prg", PrgFile("HELLO"));
  ZipBuilder pack;
  pack.Add("inner/sound.d64", disk.bytes());
  dir.Write("games/pack.zip", pack.Build());
  dir.Write("games/again.d64.gz", Gzip(disk.bytes()));
  DiskBuilder broken;
  for (const char* name : {"PROGRAM 0", "BROKEN"}) broken.AddProgram(name, Program(0x0801, 13000, 99));
  broken.At({broken.At(broken.Directory(0))[32 + 3], broken.At(broken.Directory(0))[32 + 4]})[0] = 99;
  dir.Write("damaged/broken.d64", broken.bytes());

  const Bytes first = Program(0x0801, 13000, 99);  // PROGRAM 0's PRG form
  const std::string crc = LowerHex(HashesOf(first).crc32);
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<datafile>\n<header><name>C64 &amp; Co &#233;</name></header>\n"
      "<game name=\"Sound Disk\"><description>The disk</description>\n"
      "<rom name=\"sound.d64\" size=\"" +
      std::to_string(disk.bytes().size()) + "\" sha1=\"" + LowerHex(HashesOf(disk.bytes()).sha1) +
      "\"/></game>\n<game name=\"It&apos;s one\"><description>d</description>\n"
      "<rom name=\"p0.prg\" size=\"13002\" sha1=\"" +
      LowerHex(HashesOf(first).sha1) +
      "\"/>\n"
      "<rom name=\"nohash.prg\" size=\"5\"/>\n"
      "<rom name=\"lost.prg\" size=\"7\" crc=\"01234567\"/></game>\n</datafile>\n";
  const std::string text =
      "clrmamepro (\n\tname \"Text DAT\"\n)\n\ngame (\n\tname \"By CRC\"\n\tdescription \"crc\"\n"
      "\trom ( name \"zero.prg\" size 13002 crc " +
      crc +
      " )\n"
      "\trom ( name \"gone.prg\" size 9 crc ABCDEF01 )\n)\n";
  dir.Write("dats/one.dat", ToBytes(xml));
  dir.Write("dats/sub/two.DAT", ToBytes(text));
  dir.Write("dats/.hidden/three.dat", ToBytes("not read"));
  dir.Write("dats/notes.txt", ToBytes("not a DAT"));
  ZipBuilder dats;
  dats.Add("one.xml", ToBytes(xml));
  dats.Add("notes.txt", ToBytes("not a DAT"));
  dats.Add("two.dat", ToBytes(text));
  dir.Write("dats.zip", dats.Build());
  dir.Write("bad/malformed.xml", ToBytes("<?xml version=\"1.0\"?>\n<datafile>\n<game name=\"x\">\n</datafile>\n"));
  dir.Write("bad/badhash.dat", ToBytes("game (\n name \"x\"\n rom ( name \"y\" size 1 crc 12345 )\n)\n"));
  dir.Write("bad/neither.dat", ToBytes("just words"));
  const RunResult round = RunProgram(dir.path(), {"--dat", "games/sound.d64", "games/hello.prg"});
  dir.Write("round.dat", ToBytes(round.output));
  RunScenarios("match", dir.path(),
               {"--match dats -r games", "--match=dats.zip --json games/hello.prg games/pack.zip",
                "--match dats/one.dat --dat games/hello.prg", "--match round.dat games/sound.d64 games/hello.prg",
                "--match dats -k damaged/broken.d64 games/hello.prg", "--match dats damaged/broken.d64",
                "--match bad/malformed.xml games", "--match bad/badhash.dat games", "--match bad/neither.dat games",
                "--match missing.dat games", "-l --match dats games", "--match dats --duplicates games"});
}

// Hostile files and surroundings: loops, counts past the end, bombs, deep
// nesting, huge directories, overlapping members, wrong and cut gzip data,
// a tree of 10,000 folders with loops of links and a path deeper than the
// system takes at once.
TEST(EndToEnd, Hostile) {
  const TempDir dir;
  DiskBuilder directoryLoop = SoundDisk();
  directoryLoop.Link({18, 2}, {18, 1});
  dir.Write("dirloop.d64", directoryLoop.bytes());
  DiskBuilder directoryLoop81 = SoundDisk(kD81Format);
  directoryLoop81.Link(directoryLoop81.Directory(1), directoryLoop81.Directory(0));
  dir.Write("dirloop.d81", directoryLoop81.bytes());
  DiskBuilder chainLoop;
  chainLoop.AddProgram("LOOP", Program(0x0801, 3000));
  chainLoop.Link({1, 10}, {1, 0});
  dir.Write("chainloop.d64", chainLoop.bytes());
  // Its second program links to track 99; the third and fourth are whole.
  DiskBuilder broken;
  for (const char* name : {"FIRST", "BROKEN", "THIRD", "FOURTH"}) broken.AddProgram(name, Program(0x0801, 600));
  broken.At({broken.At(broken.Directory(0))[32 + 3], broken.At(broken.Directory(0))[32 + 4]})[0] = 99;
  dir.Write("broken.d64", broken.bytes());
  T64Builder tape("HUGE COUNT", 1);
  tape.SetCount(65535);
  tape.bytes().resize(100);
  dir.Write("count.t64", tape.bytes());
  dir.Write("empty.d71", {});
  ZipBuilder bomb;
  bomb.Add("bomb.d64", Bytes(std::size_t{40} << 20)).size = 174848;
  dir.Write("bomb.zip", bomb.Build());
  ZipBuilder huge;
  huge.Add("huge.d64", Bytes(1000)).size = std::uint64_t{4} << 30;
  dir.Write("huge.zip", huge.Build(true));
  Bytes deep = PrgFile("D");
  for (int level = 0; level < 1000; ++level) {
    ZipBuilder nest;
    nest.Add(level == 0 ? "d.prg" : "d.zip", deep, 0);
    deep = nest.Build();
  }
  dir.Write("deep.zip", deep);
  ZipBuilder many;
  for (int i = 0; i < 100000; ++i) {
    many.Add("m" + std::to_string(i) + ".prg", PrgFile("m"), 0);
  }
  dir.Write("many.zip", many.Build(true));  // more than 65,535 members need ZIP64
  Bytes beyond = bomb.Build();
  beyond[beyond.size() - 4] = 0x7F;  // the directory's offset
  dir.Write("beyond.zip", beyond);
  ZipBuilder overlap;
  overlap.Add("a.prg", PrgFile("A"));
  overlap.Add("b.prg", PrgFile("B")).localHeader = 0;
  dir.Write("overlap.zip", overlap.Build());
  dir.Write("plain.d64.gz", SoundDisk().bytes());
  Bytes cut = Gzip(SoundDisk().bytes());
  cut.resize(cut.size() - 3);
  dir.Write("cut.d64.gz", cut);
  const std::string longName(120, 'f');
  for (int i = 0; i < 100; ++i) {
    for (int j = 0; j < 100; ++j) {
      dir.Write("tree/" + longName + std::to_string(i) + "/" + longName + std::to_string(j) + "/p.prg", PrgFile("p"));
    }
  }
  fs::create_directory_symlink("..", dir.path() / "tree/up");
  fs::create_symlink("self.prg", dir.path() / "tree/self.prg");
  // A chain of folders made from inside one another: the whole path is longer
  // than the system takes at once.
  const fs::path back = fs::current_path();
  fs::current_path(dir.path() / "tree");
  for (int i = 0; i < 40; ++i) {
    fs::create_directory(std::string(200, 'd'));
    fs::current_path(std::string(200, 'd'));
  }
  std::ofstream("deep.prg") << "\x01\x08Z";
  fs::current_path(back);
  RunScenarios("hostile", dir.path(),
               {"chainloop.d64", "count.t64", "dirloop.d64", "dirloop.d81", "empty.d71", "bomb.zip",
                "-k bomb.zip huge.zip", "deep.zip", "many.zip", "-k beyond.zip overlap.zip", "overlap.zip",
                "-k plain.d64.gz cut.d64.gz", "-r tree", "broken.d64", "-k broken.d64 count.t64", "-k -l broken.d64",
                "--json -k broken.d64 dirloop.d81", "--duplicates -k broken.d64 broken.d64", "--dat -k broken.d64"});
}

// One program as a PRG file, on a tape, on a disk, in a zip and gzipped; two
// programs with the same load address, size and byte sum but other bytes,
// each twice; names that XML and JSON must escape; a run that finds no
// program.
TEST(EndToEnd, DuplicatesAndDat) {
  const TempDir dir;
  const Bytes program = Program(0x0801, 3000, 7);
  T64Builder tape("TAPE", 2);
  tape.AddProgram("OTHER", Program(0x1000, 300, 8));
  tape.AddProgram("IT", program);
  DiskBuilder disk;
  disk.SetDiskName("DISK & <CO>");
  disk.AddProgram("IT", program);
  disk.AddProgram("AB", PrgFile("AB"));
  disk.AddProgram("BA\xA0\"Q\"", PrgFile("BA"));
  ZipBuilder zip;
  zip.Add("in/it.prg", program);
  dir.Write("p.prg", program);
  dir.Write("t.t64", tape.bytes());
  dir.Write("d.d64", disk.bytes());
  dir.Write("a.zip", zip.Build());
  dir.Write("it.prg.gz", Gzip(program));
  dir.Write("ab.prg", PrgFile("AB"));
  dir.Write("R&D <\"\xC3\xA9\xFF\">.prg", PrgFile("BA"));
  dir.Write("readme.txt", {});
  dir.Write("short.prg", {7});
  // What was found before a run-ending failure comes first; the same file
  // twice in a row is two containers.
  const std::string files = " p.prg t.t64 readme.txt d.d64 a.zip it.prg.gz ab.prg R*";
  RunScenarios("copies", dir.path(),
               {"--duplicates" + files, "--duplicates --json" + files, "--dat" + files,
                "--duplicates p.prg t.t64 short.prg d.d64", "--dat p.prg t.t64 short.prg d.d64", "--dat d.d64 d.d64",
                "--duplicates readme.txt", "--duplicates --json readme.txt"});
}

// Zipcode sets: whole (its last part with bytes after its last track, past
// what is read of a part beside), short of parts, with a part cut short or
// another part's file in its place, a later part alone, a .z64 without a
// part's prefix, and sets in zips with parts before and after their 1!, a
// part in another folder of the zip, and a part whose member is damaged.
TEST(EndToEnd, ZipcodeSets) {
  const TempDir dir;
  DiskBuilder disk;
  disk.SetDiskName("SET DISK");
  disk.AddProgram("NEAR", Program(0x0801, 4000, 31));
  disk.AddProgram("FAR", Program(0x0801, 150000, 32));
  const ZipcodeBuilder set(disk.bytes());
  ZipBuilder zip, torn;
  for (const int part : {2, 1, 4, 3}) {
    const std::string n = std::to_string(part);
    Bytes bytes = set.Build(part);
    bytes.resize(part == 4 ? 100000 : bytes.size(), 0xEE);
    dir.Write("sets/Game/" + n + "!Game.z64", bytes);
    if (part != 4) {
      dir.Write("sets/Short/" + n + "!Short.z64", set.Build(part));
    }
    dir.Write("sets/Wrong/" + n + "!Wrong.z64", set.Build(part == 3 ? 1 : part));
    zip.Add("in/" + n + "!Zipped.z64", set.Build(part));
    torn.Add("in/" + n + "!Torn.z64", set.Build(part)).crc ^= part == 2 ? 1 : 0;
    bytes = set.Build(part);
    bytes.resize(part == 2 ? 5000 : bytes.size());
    dir.Write("sets/Torn/" + n + "!Torn.z64", bytes);
  }
  zip.Add("other/4!Zipped.z64", set.Build(4));
  dir.Write("sets/torn.zip", torn.Build());
  dir.Write("sets/Lone/3!Lone.z64", set.Build(3));
  dir.Write("sets/plain.z64", set.Build(1));
  dir.Write("sets/set.zip", zip.Build());
  RunScenarios("zipcode", dir.path(),
               {"-r sets", "-r -k sets", "-r sets/1!*", "sets/Game/1!*", "sets/Game/*", "-k sets/Short/*",
                "sets/Lone/* sets/plain.z64", "--json -r -k sets", "-l sets/set.zip", "--dat -r -k sets"});
}

TEST(EndToEnd, ExamplesInEveryMode) {
  RunScenarios("examples", ZUMTAL_EXAMPLES,
               {"*", "-l *", "--json *", "--duplicates *", "--duplicates --json *", "--dat *"});
}

// Files larger than the read window, and --duplicates of programs longer
// than 64 KiB. (Their reports were checked against the same bytes read in
// memory when the golden file was first written.)
TEST(EndToEnd, LargeFiles) {
  const TempDir dir;
  T64Builder tape("BIG TAPE", 40);
  LynxBuilder lynx;
  for (int i = 0; i < 40; ++i) {
    tape.AddProgram("E" + std::to_string(i), Program(2049, 30000, static_cast<std::uint32_t>(i)));
    lynx.Add("E" + std::to_string(i), i % 3 == 1 ? 'S' : 'P', Program(2049, 30000, static_cast<std::uint32_t>(i)));
  }
  const auto full = [](const DiskFormat& format, int tracks) {
    DiskBuilder disk(format, tracks, true);
    for (std::uint32_t i = 0; disk.AddProgram("P" + std::to_string(i), Program(2049, 9000, i), 3); ++i) {
    }
    return disk.bytes();
  };
  // A G64 whose directory track lies across the end of the first read window.
  G64Builder far(full(kD64Format, 40));
  far.SetOffset(18, InputFile::kWindow - 3000);
  dir.Write("big.t64", tape.bytes());
  dir.Write("full.d64", full(kD64Format, 40));
  dir.Write("full.g64", G64Builder(full(kD64Format, 40)).Build());
  dir.Write("far.g64", far.Build());
  dir.Write("full.d71", full(kD71Format, 70));
  dir.Write("full.d81", full(kD81Format, 80));
  dir.Write("big.prg", Program(2049, 1500000, 5));
  dir.Write("big.lnx", lynx.Build());
  dir.Write("big.p00", P00File("BIG", Program(2049, 700000, 6)));
  RunScenarios("large", dir.path(),
               {"big.t64 full.d64 full.g64 far.g64 full.d71 full.d81 big.prg big.lnx big.p00",
                "--duplicates --json big.prg big.prg full.d64 full.g64", "--duplicates big.prg big.prg big.p00"});
}

// Failed writes end the run with the system's error number.
TEST(EndToEnd, FailedWrites) {
  const TempDir dir;
  dir.Write("a.prg", PrgFile("AB"));
  for (const auto& [mode, status] :
       {std::pair{Stdout::kDevFull, 28}, {Stdout::kClosed, 9}, {Stdout::kPipeClosedEarly, 32}}) {
    EXPECT_EQ(RunOrdered(dir.path(), {"a.prg"}, mode).status, status);
  }
}

// Sparse 2 GiB files are read in bounded memory, only where the reader walks.
// (On its own: a child's peak memory counts the test's own pages from fork.)
TEST(EndToEnd, HugeSparseFiles) {
  const TempDir dir;
  DiskBuilder disk(kD81Format);
  disk.AddProgram("AT THE START", Program(0x0801, 5000));
  dir.Write("huge.prg", {1, 8, 5});
  dir.Write("huge.d81", disk.bytes());
  // A NIB reads only its tracks; an NBZ's zeros decompress past any NIB.
  DiskBuilder dumped;
  dumped.AddProgram("DUMPED", Program(0x0801, 5000));
  dir.Write("huge.nib", NibBuilder(dumped.bytes()).Build());
  dir.Write("huge.nbz", NbzCompress(NibBuilder(dumped.bytes()).Build()));
  for (const char* name : {"huge.prg", "huge.d81", "huge.nib", "huge.nbz"}) {
    fs::resize_file(dir.path() / name, 2ull << 30);
  }
  RunScenarios("sparse", dir.path(), {"huge.prg", "huge.d81", "huge.nib", "huge.nbz"}, 8 * 1024);
}

}  // namespace
}  // namespace zumtal
