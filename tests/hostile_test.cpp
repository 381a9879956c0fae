// Hostile files and surroundings, through the built program: every run ends
// in time with the expected status, and every line before the end is whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/builders.h"
#include "support/process.h"

namespace zumtal {
namespace {

using namespace testing;

const std::string kFailure = "Runtime error 100 at 0x";

std::string Footer() { return RunProgram(std::filesystem::temp_directory_path(), {"-l"}).output.substr(2); }

D64Builder SoundDisk() {
  D64Builder disk;
  // Enough to reach past the directory track, so that cuts fall in chains.
  for (int i = 0; i < 12; ++i) {
    disk.AddProgram("PROGRAM " + std::to_string(i), Program(0x0801, 13000, 99u + static_cast<std::uint32_t>(i)));
  }
  return disk;
}

TEST(Hostile, FilesThatAreNotFilesAndBrokenStructures) {
  const TempDir dir;
  mkfifo((dir.path() / "x.d64").c_str(), 0600);
  std::filesystem::create_directory(dir.path() / "x.t64");
  std::filesystem::create_symlink("gone", dir.path() / "y.prg");

  D64Builder directoryLoop = SoundDisk();
  directoryLoop.Link({18, 2}, {18, 1});
  dir.Write("dirloop.d64", directoryLoop.bytes());
  D64Builder chainLoop;
  chainLoop.AddProgram("LOOP", Program(0x0801, 3000));
  chainLoop.Link({1, 10}, {1, 0});
  dir.Write("chainloop.d64", chainLoop.bytes());
  T64Builder tape("HUGE COUNT", 1);
  tape.SetCount(65535);
  tape.bytes().resize(100);
  dir.Write("count.t64", tape.bytes());

  const std::string footer = Footer();
  const struct {
    std::vector<std::string> args;
    std::string start;  // what the output begins with
    int status;
  } cases[] = {
      {{"x.d64", "x.t64", "y.prg"}, "\r\ny.prg file open error. Skipped...\r\n" + footer, 0},
      {{"chainloop.d64"}, "\r\n.D64\r\n" + kFailure, 100},
      {{"count.t64"}, "\r\n.T64\r\n\"count.t64\",\"HUGE COUNT             \",\"" + std::string(16, '\0') + "\",0,0,0,", 100},
  };
  for (const auto& c : cases) {
    const auto result = RunProgram(dir.path(), c.args, Stdout::kPipe, 10);
    EXPECT_FALSE(result.timedOut) << c.args.front();
    EXPECT_EQ(result.status, c.status) << c.args.front();
    EXPECT_EQ(result.output.substr(0, c.start.size()), c.start) << c.args.front();
  }
  // The looping directory reports each of its twelve programs once.
  const auto loop = RunProgram(dir.path(), {"dirloop.d64"}, Stdout::kPipe, 10);
  EXPECT_EQ(loop.status, 0);
  EXPECT_EQ(std::count(loop.output.begin(), loop.output.end(), '\n'), 2 + 12 + 6);
}

TEST(Hostile, CutDiskImageKeepsWholeReportsBeforeTheCut) {
  const TempDir dir;
  D64Builder disk = SoundDisk();
  dir.Write("cut.d64", disk.bytes());
  const auto whole = RunProgram(dir.path(), {"cut.d64"});
  ASSERT_EQ(whole.status, 0);
  ASSERT_EQ(std::count(whole.output.begin(), whole.output.end(), '\n'), 2 + 12 + 6);
  const std::string reports = whole.output.substr(0, whole.output.find("----"));
  for (std::size_t length = 0; length < disk.bytes().size(); length += 9973) {
    Bytes cut = disk.bytes();
    cut.resize(length);
    dir.Write("cut.d64", cut);
    const auto result = RunProgram(dir.path(), {"cut.d64"});
    const std::size_t failure = result.output.find(kFailure);
    if (failure == std::string::npos) {  // the cut spared everything read
      EXPECT_EQ(result.output, whole.output) << length;
      continue;
    }
    EXPECT_EQ(result.status, 100) << length;
    // Before the failure: a whole-line prefix of the uncut image's reports.
    const std::string before = result.output.substr(0, failure);
    EXPECT_EQ(before, reports.substr(0, before.size())) << length;
    EXPECT_TRUE(before.ends_with("\r\n")) << length;
  }
}

TEST(Hostile, HugeSparseProgramIsSummedInBoundedMemory) {
  const TempDir dir;
  const auto path = dir.path() / "huge.prg";
  dir.Write("huge.prg", {1, 8, 5});
  std::filesystem::resize_file(path, 2ull << 30);
  const auto result = RunProgram(dir.path(), {"huge.prg"}, Stdout::kPipe, 60);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.output.find("\",2049,65534,5,\""), std::string::npos);
#ifndef ZUMTAL_SANITIZED
  EXPECT_LT(result.maxRssKb, 8 * 1024);
#endif
}

}  // namespace
}  // namespace zumtal
