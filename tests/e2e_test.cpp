// The built program, run in a directory of its own: whole output and status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "driver/run.h"
#include "g64_builder.h"
#include "report/program_digests.h"
#include "report/program_hash.h"
#include "support/harness.h"
#include "support/process.h"

namespace zumtal {
namespace {

using namespace testing;

const std::string kUsage =
    "\r\n"
    "ZUMTAL V1.0 - Creating a raw CRC from a .d64, .t64 or .prg file\r\n"
    "USE: zumtal inputfile [inputfile] [inputfile...]\r\n"
    "Parameters:\r\n"
    " -l: long detailed info, otherwise you get CSVs on screen\r\n"
    " inputfiles are CAS files\r\n"
    "For example:\r\n"
    " zumtal -l sosperec.t64 bizbaz.d64\r\n"
    "OR\r\n"
    " zumtal -l a*.t64\r\n"
    "OR redirect output to file\r\n"
    " zumtal *.t64 >list.txt\r\n"
    "\r\n"
    "The structure of the CSV lines is the following:\r\n"
    "1) PC file name (D64, T64, PRG)\r\n"
    "2) Image name in the file, if it is stored (D64, T64), ASCII (32-128)\r\n"
    "3) Name of the file founded in the image (see 2)\r\n"
    "4) Load address\r\n"
    "5) Size in bytes\r\n"
    "6) RawCRC - a simple sum of the databytes only\r\n"
    "The followings are needed only at D64 images because they can contain\r\n"
    "non ASCII strings, but the hexcode of the names pereserves the original name.\r\n"
    "7) Original image name converted to hex string\r\n"
    "8) Original file name converted to hex string\r\n"
    "\r\n";

const std::string kFooter =
    "------------------------------------------------\r\n"
    "http://www.zumtal.example.org\r\n"
    "http://utilities.zumtal.example.org - not yet available\r\n"
    "\r\n"
    "Don't forget to send us, if you have a\r\n"
    "software that we have not on the website.\r\n";

std::string Prg(const std::string& name, const std::string& entry, const std::string& data) {
  return CsvLine(name, name, entry, 2049, static_cast<std::int64_t>(data.size()), Sum(ToBytes(data)), ToHex(name),
                 ToHex(entry));
}

Bytes PrgFile(const std::string& data) { return ToBytes("\x01\x08" + data); }

const std::string kFailure = "Runtime error 100 at 0x";

// The first place where two outputs part, with a little of each from there.
std::string Difference(const std::string& a, const std::string& b) {
  const auto at = static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
  return at == a.size() && at == b.size()
             ? ""
             : "at byte " + std::to_string(at) + ": [" + a.substr(at, 60) + "] against [" + b.substr(at, 60) + "]";
}

// Every run of a scenario is made on one thread and on eight: the output,
// failure lines and trace included, and the status must not depend on the
// number of threads. Returns the one-thread run, with the higher of the two
// memory peaks.
RunResult RunOrdered(const std::filesystem::path& dir, const std::vector<std::string>& args,
                     Stdout mode = Stdout::kPipe, unsigned seconds = 30) {
  if (args.empty()) {  // the usage text: any option would make it a run
    return RunProgram(dir, args, mode, seconds);
  }
  const auto on = [&](const char* threads) {
    std::vector<std::string> withThreads{"-j", threads};
    withThreads.insert(withThreads.end(), args.begin(), args.end());
    return RunProgram(dir, withThreads, mode, seconds);
  };
  RunResult one = on("1");
  const RunResult eight = on("8");
  EXPECT_EQ(eight.status, one.status) << "-j 8 " << args.back();
  EXPECT_EQ(Difference(one.output, eight.output), "") << "-j 8 " << args.back();
  EXPECT_EQ(eight.errors, one.errors) << "-j 8 " << args.back();
  one.timedOut = one.timedOut || eight.timedOut;
  one.maxRssKb = std::max(one.maxRssKb, eight.maxRssKb);
  return one;
}

// A directory with a few ordinary and a few awkward entries.
struct Collection : TempDir {
  Collection() {
    Write("a.prg", PrgFile("AB"));
    Write("b.PRG", PrgFile("xyz"));
    Write("ab", {});
    Write("readme.txt", {});
    Write("stderr.txt", {});
    Write("STDERR.TXT", {});
    Write("short.prg", {7});
    Write("x.s00", {});
    Write("atari.lnx", ToBytes(std::string_view("LYNX\0\2\0\1\0\0GAME", 14)));
    Write("z.P07", P00File("Z", PrgFile("Z")));
    Write("disks/c.prg", PrgFile("C"));
    Write("Game (1985)(Maker)[cr].prg", PrgFile("G"));
    Write(".hidden.prg", PrgFile("H"));
    Write(std::string(150, 'n') + ".prg", PrgFile("N"));
    std::filesystem::create_directory(path() / "dir.prg");
    mkfifo((path() / "fifo.prg").c_str(), 0600);
    mkfifo((path() / "x.d64").c_str(), 0600);
    std::filesystem::create_directory(path() / "x.t64");
    std::filesystem::create_symlink("nowhere", path() / "dangling.prg");
    std::filesystem::create_symlink("a.prg", path() / "link.prg");
  }
};

TEST(EndToEnd, WholeOutputAndStatus) {
  const std::string longName = std::string(150, 'n') + ".prg";
  const struct {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{}, kUsage},
      {{"-l"}, "\r\n" + kFooter},
      {{"-L", "x", "-l"}, "\r\n" + kFooter},
      {{"ab", "readme.txt", "stderr.txt", "STDERR.TXT"},
       "\r\nAB\r\n!Error: ab is not C64 file.\r\n.TXT\r\n!Error: readme.txt is not C64 file.\r\n.TXT\r\n"
       "!Error: stderr.txt is not C64 file.\r\n" +
           kFooter},
      {{"a.prg", "a.prg", "nothing*", "b.PRG"},
       "\r\n.PRG\r\n" + Prg("a.prg", "a", "AB") + ".PRG\r\n" + Prg("a.prg", "a", "AB") + ".PRG\r\n" +
           Prg("b.PRG", "b", "xyz") + kFooter},
      {{"-l", "b.PRG"},
       "\r\n.PRG\r\nDos filename :  b.PRG\r\nImage name   :v b.PRG\r\nFilename     :v b\r\n"
       "Load address :% 2049\r\nSize         :% 3\r\nRawcrc       :% 363\r\n" +
           kFooter},
      // Directories, FIFOs and hidden names are passed over; a dangling
      // link cannot be opened; a link to a file is that file.
      {{"[a-z]*", "*.prg"},
       "\r\n.PRG\r\n" + Prg("Game (1985)(Maker)[cr].prg", "Game (1985)(Maker)[cr]", "G") + ".PRG\r\n" +
           Prg("a.prg", "a", "AB") + "dangling.prg file open error. Skipped...\r\n.PRG\r\n" +
           Prg("link.prg", "link", "AB") + ".PRG\r\n" + Prg(longName, std::string(150, 'n'), "N") +
           ".PRG\r\nRuntime error 100 at "},
      {{"a.prg", "short.prg", "b.PRG"}, "\r\n.PRG\r\n" + Prg("a.prg", "a", "AB") + ".PRG\r\nRuntime error 100 at "},
      // A PC64 file of another type gets its key line alone; a .lnx without
      // the Lynx signature, the not-a-C64-file line.
      {{"x.s00", "atari.lnx", "z.P07"},
       "\r\n.S00\r\n.LNX\r\n!Error: atari.lnx is not C64 file.\r\n.P07\r\n" +
           CsvLine("z.P07", "z.P07", "Z               ", 2049, 1, 'Z', ToHex("z.P07"),
                   ToHex(std::string("Z\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16))) +
           kFooter},
      {{"disks/*.prg", ".h*", "dir.prg", "fifo.prg", "x.d64", "x.t64", "disks/", "nodir/*"},
       "\r\n.PRG\r\n" + Prg("c.prg", "c", "C") + ".PRG\r\n" + Prg(".hidden.prg", ".hidden", "H") + kFooter},
  };
  // A failed run ends in the failure lines: the place, the trace, an empty line.
  const std::regex failure("0x([0-9A-F]{8})\r\n  0x\\1\r\n(  0x[0-9A-F]{8}\r\n)+\r\n");
  const Collection dir;
  for (const auto& c : cases) {
    const auto result = RunOrdered(dir.path(), c.args);
    ASSERT_FALSE(result.timedOut);
    const bool failed = c.output.ends_with("Runtime error 100 at ");
    EXPECT_EQ(result.status, failed ? 100 : 0) << c.args.front();
    EXPECT_EQ(result.output.substr(0, failed ? c.output.size() : std::string::npos), c.output);
    if (failed) {
      EXPECT_TRUE(std::regex_match(result.output.substr(c.output.size()), failure)) << result.output;
    }
  }
}

TEST(EndToEnd, HelpVersionAndUsageErrors) {
  const struct {
    std::vector<std::string> args;
    std::string output;  // what standard output begins with
    std::string errors;
    int status;
  } cases[] = {
      {{"--version"}, "zumtal 1.1.0\r\n", "", 0},
      {{"--help"}, "Usage: zumtal [OPTION]... PATTERN...\r\n", "", 0},
      {{"-l", "--bogus", "a.prg"}, "", "zumtal: unknown option --bogus (see zumtal --help)\r\n", 2},
      {{"-k", "a.prg", "--bogus"}, "\r\n.PRG\r\n" + Prg("a.prg", "a", "AB") + kFooter, "", 0},
  };
  const Collection dir;
  for (const auto& c : cases) {
    const auto result = RunOrdered(dir.path(), c.args);
    EXPECT_EQ(result.status, c.status) << c.args.front();
    EXPECT_EQ(result.output.substr(0, c.output.size()), c.output) << c.args.front();
    EXPECT_EQ(result.errors, c.errors) << c.args.front();
    EXPECT_EQ(result.output.empty(), c.output.empty()) << c.args.front();
  }
  // The help: CR LF throughout, every option and format, and no footer.
  const std::string help = RunProgram(dir.path(), {"--help"}).output;
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), std::count(help.begin(), help.end(), '\r'));
  for (const char* word : {"--recursive", "--keep-going", "--version", ".d71", ".d81", ".g64", ".p00", ".lnx", ".zip",
                           ".d6z", ".7z", "100"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(help.find("----"), std::string::npos);
}

// A collection tree: nested folders, archives in archives, a damaged member
// among good ones, and what -r passes over.
struct ArchiveTree : TempDir {
  DiskBuilder disk;
  T64Builder tape{"TREE TAPE", 2};
  ArchiveTree() {
    disk.SetDiskName("TREE DISK");
    disk.AddProgram("ONE", Program(0x0801, 3000, 11));
    tape.AddProgram("TAPED", Program(0x1000, 700, 12));
    Write("C64/a.prg", PrgFile("AB"));
    Write("C64/Games/B/boulder.d64", disk.bytes());
    ZipBuilder pack;
    pack.Add("disks/x.d64", disk.bytes());
    pack.Add("tapes/t.t64.gz", Gzip(tape.bytes()), 0);
    pack.Add("notes.txt", ToBytes("not read"));
    Write("C64/Games/pack.zip", pack.Build());
    ZipBuilder broken;
    broken.Add("good1.prg", PrgFile("1"));
    broken.Add("bad.prg", PrgFile("2")).crc ^= 1;
    broken.Add("good2.prg", PrgFile("3"), 0);
    Write("C64/Broken/bad.zip", broken.Build());
    Write("C64/readme.txt", {});
    Write("C64/.hidden/h.prg", PrgFile("H"));
    std::filesystem::create_directory_symlink("..", path() / "C64/Games/up");
  }
};

TEST(EndToEnd, RecursiveTreeWithArchives) {
  ArchiveTree tree;
  auto member = [](const std::string& pc, const std::string& bare, const std::string& data) {
    return ".PRG\r\n" + RunReader(ReadPrg, PrgFile(data), pc, Layout::kCsv, bare).output;
  };
  const std::string broken = "C64/Broken/bad.zip/";
  const std::string before = member(broken + "good1.prg", "good1.prg", "1");
  const std::string after = member(broken + "good2.prg", "good2.prg", "3") + ".D64\r\n" +
                            RunReader(ReadD64, tree.disk.bytes(), "C64/Games/B/boulder.d64").output + ".D64\r\n" +
                            RunReader(ReadD64, tree.disk.bytes(), "C64/Games/pack.zip/disks/x.d64").output +
                            ".T64\r\n" +
                            RunReader(ReadT64, tree.tape.bytes(), "C64/Games/pack.zip/tapes/t.t64.gz").output +
                            member("C64/a.prg", "a.prg", "AB");
  const struct {
    std::vector<std::string> args;
    std::string output;
    int status;
  } cases[] = {
      {{"-r", "C64"}, "\r\n" + before + kFailure, 100},
      {{"-r", "-k", "C64/"},
       "\r\n" + before + "!Error: " + broken + "bad.prg: CRC-32 does not match\r\n" + after + kFooter,
       100},
      {{"-r", "C64/*.prg"}, "\r\n" + member("C64/a.prg", "a.prg", "AB") + kFooter, 0},
      {{"C64/Games/pack.zip"},
       "\r\n.D64\r\n" + RunReader(ReadD64, tree.disk.bytes(), "pack.zip/disks/x.d64").output + ".T64\r\n" +
           RunReader(ReadT64, tree.tape.bytes(), "pack.zip/tapes/t.t64.gz").output + kFooter,
       0},
  };
  for (const auto& c : cases) {
    const auto result = RunOrdered(tree.path(), c.args);
    EXPECT_EQ(result.status, c.status) << c.args.back();
    EXPECT_EQ(result.output.substr(0, c.output.size()), c.output) << c.args.back();
    EXPECT_EQ(result.errors, "");
  }
}

// Files larger than the read window, read from disk, give what the same
// bytes give in memory: the window moves right, and a tape's directory and
// data far apart are both found.
TEST(EndToEnd, LargeFilesMatchInMemoryReads) {
  T64Builder tape("BIG TAPE", 40);
  for (int i = 0; i < 40; ++i) {
    tape.AddProgram("E" + std::to_string(i), Program(2049, 30000, static_cast<std::uint32_t>(i)));
  }
  const auto full = [](const DiskFormat& format, int tracks) {
    DiskBuilder disk(format, tracks, true);
    for (int i = 0; disk.AddProgram("P" + std::to_string(i), Program(2049, 9000, static_cast<std::uint32_t>(i)), 3);
         ++i) {
    }
    return disk.bytes();
  };
  LynxBuilder lynx;
  for (int i = 0; i < 40; ++i) {
    lynx.Add("E" + std::to_string(i), i % 3 == 1 ? 'S' : 'P', Program(2049, 30000, static_cast<std::uint32_t>(i)));
  }
  // A G64 whose directory track lies across the first 1 MiB of the file.
  Bytes far = G64Builder(full(kD64Format, 40)).Build();
  std::size_t directory = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    directory |= std::size_t{far[12 + 8 * 17 + i]} << (8 * i);
  }
  const std::size_t moved = InputFile::kWindow - 3000;
  const Bytes track(far.begin() + static_cast<std::ptrdiff_t>(directory),
                    far.begin() + static_cast<std::ptrdiff_t>(directory + 2 + 7928));
  far.resize(moved);
  far.insert(far.end(), track.begin(), track.end());
  for (std::size_t i = 0; i < 3; ++i) {
    far[12 + 8 * 17 + i] = static_cast<std::uint8_t>(moved >> (8 * i));
  }
  const struct {
    const char* name;
    Bytes bytes;
    Reader reader;
  } cases[] = {{"big.t64", tape.bytes(), ReadT64},
               {"full.d64", full(kD64Format, 40), ReadD64},
               {"full.g64", G64Builder(full(kD64Format, 40)).Build(), ReadG64},
               {"far.g64", far, ReadG64},
               {"full.d71", full(kD71Format, 70), ReadD71},
               {"full.d81", full(kD81Format, 80), ReadD81},
               {"big.prg", Program(2049, 1500000, 5), ReadPrg},
               {"big.lnx", lynx.Build(), ReadLnx},
               {"big.p00", P00File("BIG", Program(2049, 700000, 6)), ReadP00}};
  const TempDir dir;
  for (const auto& c : cases) {
    dir.Write(c.name, c.bytes);
    const auto result = RunOrdered(dir.path(), {c.name});
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_EQ(result.output,
              "\r\n" + ExtensionKey(c.name) + "\r\n" + RunReader(c.reader, c.bytes, c.name).output + kFooter)
        << c.name;
  }
}

TEST(EndToEnd, FailedWritesEndTheRunWithTheSystemsErrorNumber) {
  const struct {
    Stdout mode;
    int status;
  } cases[] = {{Stdout::kDevFull, 28}, {Stdout::kClosed, 9}, {Stdout::kPipeClosedEarly, 32}};
  const Collection dir;
  for (const auto& c : cases) {
    EXPECT_EQ(RunOrdered(dir.path(), {"a.prg"}, c.mode).status, c.status);
  }
}

// Hostile files and surroundings: every run ends in time with the expected
// status, and every line before the end is whole.

DiskBuilder SoundDisk(const DiskFormat& format = kD64Format) {
  DiskBuilder disk(format);
  // Enough to reach past the directory track, so that cuts fall in chains.
  for (int i = 0; i < 12; ++i) {
    disk.AddProgram("PROGRAM " + std::to_string(i), Program(0x0801, 13000, 99u + static_cast<std::uint32_t>(i)));
  }
  return disk;
}

// A chain of directories, each name `length` bytes, made relative to one
// another: the whole path is longer than the system takes at once.
void DeepChain(const std::filesystem::path& top, int depth, std::size_t length) {
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  const std::string name(length, 'd');
  for (int i = 0; i < depth; ++i) {
    mkdirat(fd, name.c_str(), 0755);
    const int below = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = below;
  }
  const int file = openat(fd, "deep.prg", O_WRONLY | O_CREAT, 0644);
  EXPECT_EQ(write(file, "\x01\x08Z", 3), 3);
  close(file);
  close(fd);
}

TEST(Hostile, FilesThatAreNotFilesAndBrokenStructures) {
  const TempDir dir;
  DiskBuilder directoryLoop = SoundDisk();
  directoryLoop.Link({18, 2}, {18, 1});
  dir.Write("dirloop.d64", directoryLoop.bytes());
  DiskBuilder chainLoop;
  chainLoop.AddProgram("LOOP", Program(0x0801, 3000));
  chainLoop.Link({1, 10}, {1, 0});
  dir.Write("chainloop.d64", chainLoop.bytes());
  T64Builder tape("HUGE COUNT", 1);
  tape.SetCount(65535);
  tape.bytes().resize(100);
  dir.Write("count.t64", tape.bytes());
  DiskBuilder directoryLoop81 = SoundDisk(kD81Format);
  directoryLoop81.Link(directoryLoop81.Directory(1), directoryLoop81.Directory(0));
  dir.Write("dirloop.d81", directoryLoop81.bytes());
  dir.Write("empty.d71", {});

  // Archives: a bomb past its declared size, one that declares 4 GiB,
  // nesting 1,000 deep, 100,000 members, a directory beyond the end,
  // members that share their bytes, a .gz that is not gzip, a cut trailer.
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

  // A tree of 10,000 folders with long names and loops of links, and a
  // chain of folders deeper than any path the system takes at once.
  const std::string longName(120, 'f');
  for (int i = 0; i < 100; ++i) {
    for (int j = 0; j < 100; ++j) {
      dir.Write("tree/" + longName + std::to_string(i) + "/" + longName + std::to_string(j) + "/p.prg", PrgFile("p"));
    }
  }
  std::filesystem::create_directory_symlink("..", dir.path() / "tree/up");
  std::filesystem::create_symlink("self.prg", dir.path() / "tree/self.prg");
  DeepChain(dir.path() / "tree", 40, 200);

  const std::string d8 = [] {
    std::string name = "deep.zip";
    for (int i = 0; i < 8; ++i) {
      name += "/d.zip";
    }
    return name;
  }();
  const struct {
    std::vector<std::string> args;
    std::string start;  // what the output begins with
    int status;
    int reports;  // lines that begin with a quote
  } cases[] = {
      {{"chainloop.d64"}, "\r\n.D64\r\n" + kFailure, 100, 0},
      {{"count.t64"},
       "\r\n.T64\r\n\"count.t64\",\"HUGE COUNT             \",\"" + std::string(16, '\0') + "\",0,0,0,",
       100,
       1},
      {{"dirloop.d64"}, "\r\n.D64\r\n\"dirloop.d64\"", 0, 12},  // each program once
      {{"dirloop.d81"}, "\r\n.D81\r\n\"dirloop.d81\"", 0, 12},
      {{"empty.d71"}, "\r\n.D71\r\n" + kFailure, 100, 0},
      {{"bomb.zip"}, "\r\n" + kFailure, 100, 0},
      {{"-k", "bomb.zip", "huge.zip"},
       "\r\n!Error: bomb.zip/bomb.d64: more data than declared\r\n!Error: huge.zip/huge.d64: larger than 64 MiB, "
       "skipped\r\n------",
       100,
       0},
      {{"deep.zip"}, "\r\n!Error: " + d8 + ": archive nested more than 8 deep, skipped\r\n-----", 0, 0},
      {{"many.zip"}, "\r\n.PRG\r\n\"many.zip/m0.prg\"", 0, 100000},
      {{"-k", "beyond.zip", "overlap.zip"},
       "\r\n!Error: beyond.zip: central directory beyond the end of the file\r\n.PRG\r\n\"overlap.zip/a.prg\"",
       100,
       1},
      {{"overlap.zip"}, "\r\n.PRG\r\n\"overlap.zip/a.prg\"", 100, 1},
      {{"-k", "plain.d64.gz", "cut.d64.gz"},
       "\r\n!Error: plain.d64.gz: not in gzip format\r\n!Error: cut.d64.gz: compressed data cut short\r\n---",
       100,
       0},
      {{"-r", "tree"}, "\r\n.PRG\r\n\"tree/" + std::string(200, 'd') + "/", 0, 10001},
  };
  for (const auto& c : cases) {
    const auto result = RunOrdered(dir.path(), c.args, Stdout::kPipe, 20);
    EXPECT_FALSE(result.timedOut) << c.args.back();
    EXPECT_EQ(result.status, c.status) << c.args.back();
    EXPECT_EQ(result.output.substr(0, c.start.size()), c.start) << c.args.back();
    int reports = 0;
    for (std::size_t at = result.output.find("\n\""); at != std::string::npos;
         at = result.output.find("\n\"", at + 1)) {
      ++reports;
    }
    EXPECT_EQ(reports, c.reports) << c.args.back();
#ifndef ZUMTAL_SANITIZED
    EXPECT_LT(result.maxRssKb, 150 * 1024) << c.args.back();
#endif
  }
}

TEST(Hostile, CutDiskImageKeepsWholeReportsBeforeTheCut) {
  const TempDir dir;
  const std::pair<const DiskFormat*, std::string> formats[] = {
      {&kD64Format, "cut.d64"}, {&kD71Format, "cut.d71"}, {&kD81Format, "cut.d81"}};
  for (const auto& [format, name] : formats) {
    DiskBuilder disk = SoundDisk(*format);
    dir.Write(name, disk.bytes());
    const auto whole = RunOrdered(dir.path(), {name});
    ASSERT_EQ(whole.status, 0);
    ASSERT_EQ(std::count(whole.output.begin(), whole.output.end(), '\n'), 2 + 12 + 6);
    const std::string reports = whole.output.substr(0, whole.output.find("----"));
    for (std::size_t length = 0; length < disk.bytes().size(); length += disk.bytes().size() / 18 + 13) {
      Bytes cut = disk.bytes();
      cut.resize(length);
      dir.Write(name, cut);
      const auto result = RunOrdered(dir.path(), {name});
      const std::size_t failure = result.output.find(kFailure);
      if (failure == std::string::npos) {  // the cut spared everything read
        EXPECT_EQ(result.output, whole.output) << name << length;
        continue;
      }
      EXPECT_EQ(result.status, 100) << name << length;
      // Before the failure: a whole-line prefix of the uncut image's reports.
      const std::string before = result.output.substr(0, failure);
      EXPECT_EQ(before, reports.substr(0, before.size())) << name << length;
      EXPECT_TRUE(before.ends_with("\r\n")) << name << length;
    }
  }
}

// Sparse 2 GiB files: only what the reader walks is read, in bounded memory.
TEST(Hostile, HugeSparseFilesAreReadInBoundedMemory) {
  const TempDir dir;
  DiskBuilder disk(kD81Format);
  disk.AddProgram("AT THE START", Program(0x0801, 5000));
  const struct {
    const char* name;
    Bytes start;
    std::string report;
  } cases[] = {
      {"huge.prg", {1, 8, 5}, "\",2049,65534,5,\""},
      {"huge.d81", disk.bytes(), "\"AT THE START    \",2049,5000," + std::to_string(Sum(Program(0x0801, 5000), 2))},
  };
  for (const auto& c : cases) {
    dir.Write(c.name, c.start);
    std::filesystem::resize_file(dir.path() / c.name, 2ull << 30);
    const auto result = RunOrdered(dir.path(), {c.name}, Stdout::kPipe, 60);
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_NE(result.output.find(c.report), std::string::npos) << c.name << result.output;
#ifndef ZUMTAL_SANITIZED
    EXPECT_LT(result.maxRssKb, 8 * 1024) << c.name;
#endif
    std::filesystem::remove(dir.path() / c.name);
  }
}

// Every --json line is one compact JSON object, ended by a line feed alone,
// in one of three shapes: a program, an event, the run-ending failure (last).
TEST(Json, EveryLineParsesInItsShape) {
  using Keys = std::vector<std::string>;
  const Keys entry{"file",   "format",       "image_name", "image_name_hex", "entry_name", "entry_name_hex",
                   "load_address", "size", "raw_crc",    "crc32",          "md5",        "sha1"};
  const Keys event{"file", "error"};
  const Keys failure{"file", "error", "status"};

  const TempDir dir;
  dir.Write("a.prg", PrgFile("AB"));
  dir.Write("odd\xFF\x01\"q.prg", PrgFile("Z"));
  T64Builder tape("T\xC3\xA9P\xFF\x07", 2);
  tape.AddProgram("E\x80\n", Program(2049, 300));
  tape.AddProgram("F\\", Program(2049, 70));
  dir.Write("tape.t64", tape.bytes());
  DiskBuilder disk = SoundDisk();
  dir.Write("games.d64", disk.bytes());
  disk.bytes().resize(100000);
  dir.Write("cut.d64", disk.bytes());
  dir.Write("readme.txt", {});
  dir.Write("short.prg", {7});
  std::filesystem::create_symlink("nowhere", dir.path() / "dangling.prg");

  const struct {
    std::vector<std::string> args;
    int status;
    int entries;
    int events;
  } cases[] = {
      {{"--json", "a.prg", "odd*", "tape.t64", "games.d64", "readme.txt", "dangling.prg"}, 0, 16, 2},
      {{"--json", "a.prg", "short.prg", "a.prg"}, 100, 1, 0},
      {{"--json", "cut.d64"}, 100, 7, 0},
      {{"--json"}, 0, 0, 0},
      {{"--json", "-l", "a.prg"}, 2, 0, 0},
      {{"-l", "--json", "a.prg"}, 2, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string& last = c.args.back();
    const auto result = RunOrdered(dir.path(), c.args);
    EXPECT_EQ(result.status, c.status) << last;
    EXPECT_EQ(result.output.find('\r'), std::string::npos) << last;
    EXPECT_TRUE(result.output.empty() || result.output.ends_with("}\n")) << last;
    int entries = 0;
    int events = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = result.output.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = result.output.substr(start, end - start);
      const auto object = nlohmann::ordered_json::parse(line);  // throws on invalid JSON or UTF-8
      ASSERT_TRUE(object.is_object()) << line;
      EXPECT_EQ(object.dump(), line);  // compact, nothing but the object
      Keys keys;
      for (const auto& item : object.items()) {
        keys.push_back(item.key());
      }
      // file_hex follows file exactly when the name is not UTF-8.
      const bool hex = keys.size() > 1 && keys[1] == "file_hex";
      EXPECT_EQ(hex, object["file"].get<std::string>().find("\xEF\xBF\xBD") != std::string::npos) << line;
      if (hex) {
        EXPECT_EQ(object["file_hex"], ToHex("odd\xFF\x01\"q.prg"));
        keys.erase(keys.begin() + 1);
      }
      if (keys == entry) {
        ++entries;
        EXPECT_EQ(object["crc32"].get<std::string>().size(), 8u);
      } else if (keys == event) {
        ++events;
      } else {
        EXPECT_EQ(keys, failure) << line;
        EXPECT_EQ(object["status"], c.status);
        EXPECT_EQ(end + 1, result.output.size()) << "the failure ends the output";
      }
    }
    EXPECT_EQ(start, result.output.size()) << last;
    EXPECT_EQ(entries, c.entries) << last;
    EXPECT_EQ(events, c.events) << last;
  }
}

// One program as a PRG file, on a tape, on a disk, in a zip and gzipped; two
// programs with the same load address, size and byte sum but other bytes,
// each twice; names that XML and JSON must escape.
struct CopiesTree : TempDir {
  const Bytes program = Program(0x0801, 3000, 7);
  CopiesTree() {
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
    Write("p.prg", program);
    Write("t.t64", tape.bytes());
    Write("d.d64", disk.bytes());
    Write("a.zip", zip.Build());
    Write("it.prg.gz", Gzip(program));
    Write("ab.prg", PrgFile("AB"));
    Write("R&D <\"\xC3\xA9\xFF\">.prg", PrgFile("BA"));
    Write("readme.txt", {});
    Write("short.prg", {7});
  }
};

// xmllint's verdict on a DAT: well-formed and valid against the datafile
// DTD; empty when it passes.
std::string DatProblems(const std::string& document) {
  const TempDir dir;
  dir.Write("out.xml", ToBytes(document));
  const std::string file = (dir.path() / "out.xml").string();
  const std::string log = file + ".log";
  const std::string command =
      "xmllint --noout --nonet --dtdvalid " ZUMTAL_TEST_DATA "/datafile.dtd '" + file + "' >'" + log + "' 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream messages(log);
  return status == 0 ? "" : std::string(std::istreambuf_iterator<char>(messages), {}) + "(xmllint failed)";
}

TEST(EndToEnd, DuplicatesAndDat) {
  const CopiesTree tree;
  const auto sha1 = [](const Bytes& prg) {
    ProgramHash hash;
    hash.Take(prg.data(), prg.size());
    return LowerHex(hash.Finish().sha1);
  };
  const std::string it = sha1(tree.program);
  const std::string ab = sha1(PrgFile("AB"));
  const std::string ba = sha1(PrgFile("BA"));
  const auto pad = [](std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
  };
  const auto copy = [](const std::string& sha, const std::string& file, const std::string& image,
                       const std::string& entry, int size) {
    return sha + ",\"" + file + "\",\"" + image + "\",\"" + entry + "\",2049," + std::to_string(size) + "\r\n";
  };
  const std::string odd = "R&D <\"\xC3\xA9\xFF\">";
  const std::string itOnPrgAndTape =
      copy(it, "p.prg", "p.prg", "p", 3000) + copy(it, "t.t64", pad("TAPE", 23), pad("IT", 16), 3000);
  const std::vector<std::string> files{"p.prg", "t.t64", "readme.txt", "d.d64", "a.zip", "it.prg.gz", "ab.prg", "R*"};
  const auto with = [&files](std::vector<std::string> options) {
    options.insert(options.end(), files.begin(), files.end());
    return options;
  };
  const auto failing = [](std::string option) {
    return std::vector<std::string>{std::move(option), "p.prg", "t.t64", "short.prg", "d.d64"};
  };
  const struct {
    std::vector<std::string> args;
    std::string output;  // all of it when it ends a line, else what it begins with
    int status;
  } cases[] = {
      {with({"--duplicates"}),
       "!Error: readme.txt is not C64 file.\r\n" + itOnPrgAndTape +
           copy(it, "d.d64", pad("DISK & <CO>", 16), pad("IT", 16), 3000) +
           copy(it, "a.zip/in/it.prg", "it.prg", "it", 3000) + copy(it, "it.prg.gz", "it.prg", "it", 3000) + "\r\n" +
           copy(ab, "d.d64", pad("DISK & <CO>", 16), pad("AB", 16), 2) + copy(ab, "ab.prg", "ab.prg", "ab", 2) +
           "\r\n" + copy(ba, "d.d64", pad("DISK & <CO>", 16), pad("BA \"Q\"", 16), 2) +
           copy(ba, odd + ".prg", odd + ".prg", odd, 2) + "\r\n" +
           "10 programs, 4 distinct, 3 groups of copies, 12016 bytes in extra copies\r\n",
       0},
      // What was found before a run-ending failure comes first.
      {failing("--duplicates"),
       itOnPrgAndTape + "\r\n3 programs, 2 distinct, 1 groups of copies, 3002 bytes in extra copies\r\n" + kFailure,
       100},
      // JSON Lines: the groups' first lines, then the figures.
      {with({"--duplicates", "--json"}),
       "{\"file\":\"readme.txt\",\"error\":\"not a C64 file\"}\n{\"sha1\":\"" + it +
           "\",\"load_address\":2049,\"size\":3000,\"copies\":[{\"file\":\"p.prg\",",
       0},
      {with({"--dat"}), "<?xml version=\"1.0\"?>\r\n<!DOCTYPE datafile ", 0},
      {failing("--dat"), "<?xml version=\"1.0\"?>\r\n<!DOCTYPE datafile ", 100},
  };
  const bool haveXmllint = std::system("xmllint --version >/dev/null 2>&1") == 0;
  for (const auto& c : cases) {
    const auto result = RunOrdered(tree.path(), c.args);
    const std::string& mode = c.args.front();
    EXPECT_EQ(result.status, c.status) << mode;
    const bool whole = c.output.ends_with("\r\n");
    EXPECT_EQ(result.output.substr(0, whole ? std::string::npos : c.output.size()), c.output) << mode;
    if (c.args[1] == "--json") {
      std::vector<nlohmann::json> lines;
      std::istringstream text(result.output);
      for (std::string line; std::getline(text, line);) {
        lines.push_back(nlohmann::json::parse(line));  // throws on invalid JSON or UTF-8
      }
      ASSERT_EQ(lines.size(), 5u);
      const std::pair<std::string, std::size_t> groups[] = {{it, 5}, {ab, 2}, {ba, 2}};
      for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i + 1]["sha1"], groups[i].first);
        EXPECT_EQ(lines[i + 1]["copies"].size(), groups[i].second);
      }
      EXPECT_EQ(lines[3]["copies"][1]["file"], "R&D <\"\xC3\xA9\xEF\xBF\xBD\">.prg");
      EXPECT_EQ(lines[4], nlohmann::json::parse(R"({"programs":10,"distinct":4,"groups":3,"extra_bytes":12016})"));
    }
    if (mode == "--dat" && haveXmllint) {
      EXPECT_EQ(DatProblems(result.output), "") << result.output;
    }
  }
  // The examples, in every mode.
  const std::vector<std::string> modes[] = {
      {"*"}, {"-l", "*"}, {"--json", "*"}, {"--duplicates", "*"}, {"--duplicates", "--json", "*"}, {"--dat", "*"}};
  for (const auto& args : modes) {
    const auto result = RunOrdered(ZUMTAL_EXAMPLES, args);
    EXPECT_EQ(result.status, 0) << args.front();
    if (args.front() == "--dat" && haveXmllint) {
      EXPECT_EQ(DatProblems(result.output), "") << result.output;
    }
  }
  if (!haveXmllint) {
    GTEST_SKIP() << "xmllint (Debian libxml2-utils) is not installed: the DAT files were not validated";
  }
}

}  // namespace
}  // namespace zumtal
