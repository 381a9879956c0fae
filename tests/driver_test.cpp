#include <gtest/gtest.h>

#include "base/run_failure.h"
#include "driver/command_line.h"
#include "driver/dir_search.h"
#include "driver/options.h"
#include "driver/ordered_jobs.h"
#include "driver/progress.h"
#include "readers/readers.h"

namespace zumtal {
namespace {

using Names = std::vector<std::string>;

TEST(Wildcard, MatchesBytesLiterallyExceptStarAndQuestionMark) {
  const auto check = [](const std::string& pattern, const Names& matching, const Names& failing) {
    for (const auto& name : matching) EXPECT_TRUE(MatchWildcard(pattern, name)) << pattern << " ~ " << name;
    for (const auto& name : failing) EXPECT_FALSE(MatchWildcard(pattern, name)) << pattern << " ~ " << name;
  };
  check("*.prg", {"game.prg", ".prg"}, {"game.PRG", "game.prg.bak"});
  check("a?.t64", {"ab.t64"}, {"a.t64"});
  check("*", {"", "x"}, {});
  check("", {""}, {"a"});
  check("*a*b*c", {"xxaybzzc"}, {"xxaybzz"});
  check("Game (1985)(Maker)[cr].prg", {"Game (1985)(Maker)[cr].prg"}, {"Game (1985)(Maker)c.prg"});
  check("a\\b*", {"a\\bc"}, {"ab"});
  check("**?*", {"x"}, {""});
  check("*" + std::string(24, 'a') + "b", {}, {std::string(50, 'a')});  // in linear time
}

TEST(Driver, ExtensionKeyIsLastFourBytesUpperCased) {
  const std::pair<const char*, const char*> cases[] = {
      {"game.prg", ".PRG"}, {"Game.Prg", ".PRG"},  {"ab", "AB"},          {"a.b", "A.B"},
      {"x.d64 ", "D64 "},   {"\xE9t.t64", ".T64"}, {"readme.txt", ".TXT"}};
  for (const auto& [name, key] : cases) EXPECT_EQ(ExtensionKey(name), key) << name;
}

TEST(Driver, SplitCommandLine) {
  const std::pair<const char*, Names> cases[] = {
      {"\"C:\\Program Files\\zumtal.exe\" -l *.d64", {"C:\\Program Files\\zumtal.exe", "-l", "*.d64"}},
      {"z 'it''s.t64' 'say \"hi\"' \"it's\"", {"z", "its.t64", "say \"hi\"", "it's"}},
      {"z  a\tb\001c\x7F \"\" '' a\"\"b \" \" \"open", {"z", "a", "b", "c", "ab", " ", "open"}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(SplitCommandLine(line), args) << line;
}

TEST(Options, LeadingOptionsThenPatterns) {
  // The arguments; then the letters of l, r, k, h(elp), v(ersion), j(son),
  // d(uplicates), D(at) given, =jobs, and after '|' the patterns; or the
  // usage error.
  const std::pair<const char*, const char*> cases[] = {
      {"-l -r -k -- -- a", "lrk| -- a"},
      {"--recursive --keep-going -- --x -l", "rk| --x -l"},
      {"--jobs=6 -r --recursive -k", "r=6| --recursive -k"},  // a repeated option is a pattern
      {"-lr --x", "| -lr --x"},  // no bundling: an unknown single-dash option is a pattern, and so is all after
      {"--help --jobs 7 --version a", "hv=7| a"},
      {"-j 10 -j5", "=10| -j5"},
      {"--dat -j4 -k", "kD=4|"},
      {"--jobs=256 --json --duplicates", "jd=256|"},
      {"-k --x a", "zumtal: unknown option --x (see zumtal --help)"},
      {"--recursive=1", "zumtal: unknown option --recursive=1 (see zumtal --help)"},
      {"--jobs", "zumtal: option --jobs needs a value (see zumtal --help)"},
      {"-jx", "zumtal: option -jx does not take the value x (see zumtal --help)"},
      {"-j0", "zumtal: option -j0 does not take the value 0 (see zumtal --help)"},
      {"-j 257", "zumtal: option -j does not take the value 257 (see zumtal --help)"},
      {"--json -l", "zumtal: --json and -l exclude each other (see zumtal --help)"},
      {"--dat --duplicates", "zumtal: --dat and --duplicates exclude each other (see zumtal --help)"},
  };
  for (const auto& [args, want] : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(SplitCommandLine(args));
    const Options& o = parsed.options;
    const bool flags[] = {o.longMode, o.recursive, o.keepGoing, o.help, o.version, o.json, o.duplicates, o.dat};
    std::string set;
    for (std::size_t i = 0; i < std::size(flags); ++i) set += flags[i] ? std::string(1, "lrkhvjdD"[i]) : "";
    set += (o.jobs == 0 ? "" : "=" + std::to_string(o.jobs)) + "|";
    for (const auto& pattern : o.patterns) set += " " + pattern;
    EXPECT_EQ(parsed.error.empty() ? set : parsed.error, want) << args;
  }
}

TEST(Driver, ProgressLineIsRedrawnSparinglyAndCleared) {
  ErrorOutput err;
  Progress(err, false).Done("a.d64", 1, 1, 0);  // hidden: writes nothing
  {
    Progress progress(err, true);
    progress.Done(std::string(100, 'n') + "\x07.d64", 2, 5, 3 << 20);
    progress.Done("too soon.d64", 1, 1, 0);  // within a tenth of a second: not drawn
  }
  // The carriage return and 79 columns; then as many blanks.
  EXPECT_EQ(err.Text(),
            "\r2 files, 5 programs, 3 MB: ..." + std::string(44, 'n') + "?.d64\r" + std::string(79, ' ') + "\r");
}

TEST(Driver, FailureLinesShape) {
  EXPECT_EQ(FailureLines(RunFailure(100, {0x4E3B, 0xABCDEF, 0x12}), 2),
            Names({"Runtime error 100 at 0x00004E3B", "  0x00004E3B", "  0x00ABCDEF", ""}));
}

TEST(Driver, OrderedJobsGiveResultsInOrder) {
  for (const unsigned threads : {1u, 2u, 8u}) {
    // Later jobs finish first: the order must come from the queue.
    OrderedJobs<int, int> jobs(threads, 16, [](int& job) {
      std::this_thread::sleep_for(std::chrono::microseconds((100 - job % 100) * 10));
      return job * 3;
    });
    int next = 0;
    for (int job = 0; job < 300; ++job) {
      while (jobs.Full()) ASSERT_EQ(jobs.PopOldest(), 3 * next++) << threads;
      jobs.Push(job);
    }
    while (!jobs.Empty()) ASSERT_EQ(jobs.PopOldest(), 3 * next++) << threads;
    // Every worker has gone idle: the next job still wakes one.
    jobs.Push(next);
    ASSERT_EQ(jobs.PopOldest(), 900) << threads;
    // Given up, as after a failure: the workers stop and the queue goes away
    // with jobs still in it.
    while (!jobs.Full()) jobs.Push(0);
  }
}

}  // namespace
}  // namespace zumtal
