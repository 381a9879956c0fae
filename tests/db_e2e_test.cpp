// --db FILE, run as the built program: the same bytes with and without the
// catalogue in every layout, the rows used (and only while the file is as it
// was), files gone from a walked folder, what is not a catalogue, and a
// second run while the first holds the database.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/harness.h"
#include "support/process.h"
#include "zipcode_builder.h"

namespace zumtal {
namespace {

using namespace testing;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

// Every file's time an hour back: files changed just now are not stored.
void AgeAll(const fs::path& root) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    fs::last_write_time(entry.path(), old);
  }
}

// A collection with something of every kind a file's results hold: programs
// of disks, tapes, archives and compressed files, lines about files, a
// damaged member, a member nested too deep, and a DAT that names a disk
// whole and a program.
struct Collection {
  Collection() {
    DiskBuilder disk;
    disk.SetDiskName("DB DISK");
    disk.AddProgram("ONE", Program(0x0801, 3000, 11));
    disk.AddProgram("TWO", Program(0xC000, 300, 12));
    T64Builder tape("DB TAPE", 2);
    tape.AddProgram("TAPED\xA0\x01", Program(0x1000, 700, 13));  // a name shown with the bytes as they are
    dir.Write("C64/a.prg", PrgFile("AB"));
    dir.Write("C64/disks/d.d64", disk.bytes());
    dir.Write("C64/disks/d2.d64.gz", Gzip(disk.bytes()));
    dir.Write("C64/bad.t64", ToBytes("not a tape at all, not at all"));
    ZipBuilder pack;
    pack.Add("tapes/t.t64", tape.bytes());
    pack.Add("x.prg", PrgFile("XY"), 0);
    ZipBuilder nest;  // a member one level too deep
    nest.Add("deep.prg", PrgFile("D"));
    for (int level = 0; level < kMaxArchiveLevel; ++level) {
      ZipBuilder outer;
      outer.Add("n.zip", nest.Build());
      nest = outer;
    }
    pack.Add("nest.zip", nest.Build());
    dir.Write("C64/pack.zip", pack.Build());
    ZipBuilder broken;
    broken.Add("good.prg", PrgFile("1"));
    broken.Add("bad.prg", PrgFile("2")).crc ^= 1;
    dir.Write("C64/broken.zip", broken.Build());
    const ZipcodeBuilder set(disk.bytes());
    for (int part = 1; part <= 4; ++part) {
      dir.Write("C64/set/" + std::to_string(part) + "!z.z64", set.Build(part));
    }
    const std::string dat =
        "<?xml version=\"1.0\"?>\n<datafile>\n<header><name>DB</name></header>\n"
        "<game name=\"Disk\"><description>d</description>\n<rom name=\"d.d64\" size=\"" +
        std::to_string(disk.bytes().size()) + "\" sha1=\"" + LowerHex(HashesOf(disk.bytes()).sha1) +
        "\"/>\n<rom name=\"a.prg\" size=\"4\" sha1=\"" + LowerHex(HashesOf(PrgFile("AB")).sha1) +
        "\"/></game>\n</datafile>\n";
    dir.Write("dats/db.dat", ToBytes(dat));
    AgeAll(dir.path());
  }
  RunResult Run(Args args) const { return RunProgram(dir.path(), std::move(args)); }
  std::size_t Rows() const {
    // The catalogue as the next run finds it: the file's own bytes, the
    // write-ahead log folded in when the last run ended.
    return fs::exists(dir.path() / "c.db") ? fs::file_size(dir.path() / "c.db") : 0;
  }
  TempDir dir;
};

std::string All(const RunResult& r) { return std::to_string(r.status) + "\n" + r.errors + "\n" + r.output; }

Args With(Args front, const Args& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every layout, on one thread and on eight, in turn on one catalogue: each
// run finds rows that runs of other layouts stored, with or without the
// hashes it needs.
TEST(Catalogue, SameBytesInEveryLayoutAndOnEveryThreadCount) {
  const Collection c;
  const char* layouts[] = {"",   "-l",        "--json",       "--duplicates",        "--duplicates --json", "--dat",
                           "-k", "-k --json", "--match dats", "--match dats --json", "--match dats --dat",  "-l -k"};
  for (const char* threads : {"-j1", "-j8"}) {
    for (const char* layout : layouts) {
      Args args{threads};
      for (std::istringstream words(layout); words >> args.emplace_back();) {
      }
      args.back() = "-r", args.push_back("C64");
      const std::string plain = All(c.Run(args));
      const std::string filling = All(c.Run(With({"--db", "c.db"}, args)));
      const std::string reading = All(c.Run(With({"--db=c.db"}, args)));
      EXPECT_EQ(filling, plain) << threads << " " << layout;
      EXPECT_EQ(reading, plain) << threads << " " << layout;
    }
  }
  EXPECT_GT(c.Rows(), 0u);
}

// The rows stand for the file while its size and time are the same: bytes
// changed behind them give the old results (the rows are used, also under
// another name of the same file); a new time gives the new ones.
TEST(Catalogue, RowsAreUsedWhileSizeAndTimeHold) {
  const Collection c;
  const fs::path a = c.dir.path() / "C64/a.prg";
  const RunResult before = c.Run({"--db", "c.db", "-k", "--json", "-r", "C64"});
  ASSERT_EQ(before.status, 100);  // the damaged member
  const auto time = fs::last_write_time(a);
  c.dir.Write("C64/a.prg", PrgFile("CD"));
  fs::last_write_time(a, time);
  const RunResult old = c.Run({"--db", "c.db", "--json", "./C64/a.prg"});
  const RunResult plain = c.Run({"--json", "./C64/a.prg"});
  EXPECT_NE(old.output, plain.output);
  fs::last_write_time(a, time + std::chrono::seconds(1));
  EXPECT_EQ(All(c.Run({"--db", "c.db", "--json", "./C64/a.prg"})), All(plain));
  // Changed just now: read, and not stored, so read again.
  c.dir.Write("C64/a.prg", PrgFile("EF"));
  EXPECT_EQ(All(c.Run({"--db", "c.db", "C64/a.prg"})), All(c.Run({"C64/a.prg"})));
  c.dir.Write("C64/a.prg", PrgFile("GH"));
  EXPECT_EQ(All(c.Run({"--db", "c.db", "C64/a.prg"})), All(c.Run({"C64/a.prg"})));
  // An archive's rows, its tape's names shown with the bytes as they are.
  const fs::path pack = c.dir.path() / "C64/pack.zip";
  const std::string kept = All(c.Run({"-k", "C64/pack.zip"}));
  const auto packTime = fs::last_write_time(pack);
  c.dir.Write("C64/pack.zip", Bytes(fs::file_size(pack), 0));
  fs::last_write_time(pack, packTime);
  EXPECT_EQ(All(c.Run({"--db", "c.db", "-k", "C64/pack.zip"})), kept);
  // Kept by a --json run, which hashes no file whole: --match with DATs that
  // name the disk's size reads it again, to hash it.
  const Args match{"--match", "dats", "C64/disks/d.d64"};
  EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, match))), All(c.Run(match)));
}

// A file gone from a walked folder loses its rows: with the file put back
// under its old size and time, the new bytes are read.
TEST(Catalogue, FilesGoneFromAWalkedFolderLoseTheirRows) {
  const Collection c;
  const fs::path a = c.dir.path() / "C64/a.prg";
  ASSERT_EQ(c.Run({"--db", "c.db", "-k", "-r", "C64"}).status, 100);
  const auto time = fs::last_write_time(a);
  fs::rename(a, c.dir.path() / "a.prg");
  ASSERT_EQ(c.Run({"--db", "c.db", "-r", "C64/disks"}).status, 0);  // another folder: the row stays
  ASSERT_EQ(c.Run({"--db", "c.db", "-k", "-r", "C64"}).status, 100);
  c.dir.Write("C64/a.prg", PrgFile("CD"));
  fs::last_write_time(a, time);
  EXPECT_EQ(All(c.Run({"--db", "c.db", "C64/a.prg"})), All(c.Run({"C64/a.prg"})));
}

// A Zipcode part's rows stand while the other parts of its set are as they
// were: new bytes behind a part's old size and time give the old results; a
// part gone, or back under a new time, gives what the parts now hold.
TEST(Catalogue, AZipcodePartIsKeptWithTheOtherPartsOfItsSet) {
  const Collection c;
  const Args args{"-k", "-r", "C64/set"};
  const std::string whole = All(c.Run(args));
  ASSERT_EQ(All(c.Run(With({"--db", "c.db"}, args))), whole);
  const fs::path fourth = c.dir.path() / "C64/set/4!z.z64";
  const auto time = fs::last_write_time(fourth);
  const Bytes part = ToBytes(ReadAll(fourth));
  c.dir.Write("C64/set/4!z.z64", Bytes(part.size(), 0));
  fs::last_write_time(fourth, time);
  EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, args))), whole);
  fs::remove(c.dir.path() / "C64/set/3!z.z64");
  const std::string short1 = All(c.Run(args));
  EXPECT_NE(short1, whole);
  EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, args))), short1);
  fs::remove(c.dir.path() / "C64/set/1!z.z64");
  const std::string alone = All(c.Run(args));
  EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, args))), alone);
  c.dir.Write("C64/set/4!z.z64", part);
  fs::last_write_time(fourth, time - std::chrono::minutes(1));
  EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, args))), All(c.Run(args)));
}

void Patch(const fs::path& path, std::size_t at, std::uint32_t value) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(at));
  const char bytes[] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                        static_cast<char>(value)};
  file.write(bytes, 4);
}

// What is not a catalogue of this zumtal gets one line and status 2, and
// stays as it was; a catalogue of an older schema is rebuilt.
TEST(Catalogue, ForeignNewerDamagedAndOlderFiles) {
  const Collection c;
  const fs::path db = c.dir.path() / "c.db";
  ASSERT_EQ(c.Run({"--db", "c.db", "C64/a.prg"}).status, 0);
  const std::string made = ReadAll(db);
  // The header: page size at 16, user_version at 60, application_id at 68,
  // big-endian; the second page is the first table's root.
  const std::size_t page = std::size_t{static_cast<std::uint8_t>(made[16])} << 8 | static_cast<std::uint8_t>(made[17]);
  EXPECT_EQ(page, 16384u);  // a new catalogue's pages
  const struct {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  } cases[] = {{"not a zumtal catalogue", 68, 0x12345678}, {"newer", 60, 99}, {"damaged", page, 0xFFFFFFFF}};
  for (const auto& broken : cases) {
    std::ofstream(db, std::ios::binary) << made;
    Patch(db, broken.at, broken.value);
    const std::string before = ReadAll(db);
    const RunResult run = c.Run({"--db", "c.db", "C64/a.prg"});
    EXPECT_EQ(run.status, 2) << broken.what;
    EXPECT_EQ(run.output, "") << broken.what;
    EXPECT_NE(run.errors.find(broken.what), std::string::npos) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_EQ(ReadAll(db), before) << broken.what;
  }
  c.dir.Write("text.db", ToBytes("SQLite? no, just some text that is long enough to have a header\n"));
  const RunResult text = c.Run({"--db", "text.db", "C64/a.prg"});
  EXPECT_EQ(text.status, 2);
  EXPECT_EQ(text.output, "");

  std::ofstream(db, std::ios::binary) << made;
  Patch(db, 60, 0);
  const RunResult older = c.Run({"--db", "c.db", "C64/a.prg"});
  EXPECT_EQ(older.status, 0);
  EXPECT_NE(older.errors.find("older"), std::string::npos);
  EXPECT_EQ(older.output, c.Run({"C64/a.prg"}).output);
}

// Starts a run whose output nobody reads: it stops, holding the database,
// once the pipe is full.
pid_t StartStuck(const fs::path& dir, const Args& args) {
  int fds[2];
  if (pipe(fds) != 0) {
    return -1;
  }
  const int null = open("/dev/null", O_WRONLY);
  const pid_t pid = StartProgram(dir, args, fds[1], null);
  close(null), close(fds[1]);  // the reading end stays open and unread
  return pid;
}

// A second run waits for the first, gives up with one line and status 2
// having written nothing; the first, killed, leaves a catalogue that the
// next run opens and uses.
TEST(Catalogue, SecondRunWaitsThenGivesUpAndAKilledRunLeavesAUsableCatalogue) {
  const Collection c;
  for (int i = 0; i < 1200; ++i) {
    c.dir.Write("many/p" + std::to_string(i) + ".prg", PrgFile("PROGRAM NUMBER " + std::to_string(i)));
  }
  AgeAll(c.dir.path() / "many");
  const Args args{"-l", "-r", "many"};
  const std::string plain = All(c.Run(args));
  for (const int killAfterMs : {0, 30, 3000}) {
    const pid_t first = StartStuck(c.dir.path(), With({"--db", "c.db"}, args));
    ASSERT_GT(first, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
    if (killAfterMs >= 1000) {
      const auto start = std::chrono::steady_clock::now();
      const RunResult second = c.Run(With({"--db", "c.db"}, args));
      const auto waited = std::chrono::steady_clock::now() - start;
      EXPECT_EQ(second.status, 2);
      EXPECT_EQ(second.output, "");
      EXPECT_NE(second.errors.find("in use"), std::string::npos) << second.errors;
      EXPECT_GE(waited, std::chrono::milliseconds(4500));
    }
    kill(first, SIGKILL);
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, args))), plain) << killAfterMs;
    EXPECT_EQ(All(c.Run(With({"--db", "c.db"}, args))), plain) << killAfterMs;
  }
}

// A catalogue that fails in mid-run (here the file may not grow past a
// limit) gets one line; the output is the run's own, the status 2, and what
// was stored before stands for the next run.
TEST(Catalogue, AFailureInMidRunEndsOnlyTheStoring) {
  TempDir dir;
  for (int i = 0; i < 2000; ++i) {
    dir.Write("many/p" + std::to_string(i) + ".prg", PrgFile("PROGRAM NUMBER " + std::to_string(i)));
  }
  AgeAll(dir.path());
  const Args args{"-r", "many"};
  const RunResult plain = RunProgram(dir.path(), args);
  const RunResult failing = RunProgram(dir.path(), With({"--db", "c.db"}, args), Stdout::kPipe, 256 * 1024);
  EXPECT_EQ(failing.output, plain.output);
  EXPECT_EQ(failing.status, 2);
  EXPECT_NE(failing.errors.find("the rest of the run is not stored"), std::string::npos) << failing.errors;
  EXPECT_EQ(std::count(failing.errors.begin(), failing.errors.end(), '\n'), 1) << failing.errors;
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(All(RunProgram(dir.path(), With({"--db", "c.db"}, args))), All(plain)) << run;
  }
  // A run that a damaged file ends keeps what it stored before it: the
  // rows stand for the first file's old bytes.
  dir.Write("ends/a.prg", PrgFile("AB"));
  dir.Write("ends/z.prg", Bytes{1});
  AgeAll(dir.path() / "ends");
  const std::string before = RunProgram(dir.path(), {"ends/a.prg"}).output;
  ASSERT_EQ(RunProgram(dir.path(), {"--db", "e.db", "-r", "ends"}).status, 100);
  const fs::path a = dir.path() / "ends/a.prg";
  const auto time = fs::last_write_time(a);
  dir.Write("ends/a.prg", PrgFile("CD"));
  fs::last_write_time(a, time);
  EXPECT_NE(RunProgram(dir.path(), {"ends/a.prg"}).output, before);
  EXPECT_EQ(RunProgram(dir.path(), {"--db", "e.db", "ends/a.prg"}).output, before);
}

}  // namespace
}  // namespace zumtal
