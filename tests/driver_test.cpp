#include <gtest/gtest.h>

#include <chrono>

#include "driver/command_line.h"
#include "driver/dir_search.h"
#include "driver/ordered_jobs.h"
#include "driver/options.h"
#include "driver/progress.h"
#include "driver/run.h"
#include "driver/run_failure.h"
#include "readers/readers.h"

namespace zumtal {
namespace {

TEST(Wildcard, MatchesBytesLiterallyExceptStarAndQuestionMark) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.prg", "game.prg", true},
      {"*.prg", ".prg", true},
      {"*.prg", "game.PRG", false},
      {"*.prg", "game.prg.bak", false},
      {"a?.t64", "ab.t64", true},
      {"a?.t64", "a.t64", false},
      {"*", "", true},
      {"", "a", false},
      {"*a*b*c", "xxaybzzc", true},
      {"*a*b*c", "xxaybzz", false},
      {"Game (1985)(Maker)[cr].prg", "Game (1985)(Maker)[cr].prg", true},
      {"[cr].prg", "c.prg", false},
      {"a\\b*", "a\\bc", true},
      {"**?*", "x", true},
      {"*aaaaaaaaaaaaaaaaaaaaaaaab", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " ~ " << c.name;
  }
}

TEST(Driver, ExtensionKeyIsLastFourBytesUpperCased) {
  const struct {
    const char* name;
    const char* key;
  } cases[] = {{"game.prg", ".PRG"}, {"Game.Prg", ".PRG"},  {"ab", "AB"},          {"a.b", "A.B"},
               {"x.d64 ", "D64 "},   {"\xE9t.t64", ".T64"}, {"readme.txt", ".TXT"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ExtensionKey(c.name), c.key);
  }
}

TEST(Driver, SplitCommandLine) {
  using Args = std::vector<std::string>;
  const struct {
    const char* line;
    Args args;
  } cases[] = {
      {"zumtal", {"zumtal"}},
      {"\"C:\\Program Files\\zumtal.exe\" -l *.d64", {"C:\\Program Files\\zumtal.exe", "-l", "*.d64"}},
      {"z  a\tb\x01"
       "c\x7F",
       {"z", "a", "b", "c"}},
      {"z \"Game (1985).prg\" 'it''s.t64'", {"z", "Game (1985).prg", "its.t64"}},
      {"z 'say \"hi\"' \"it's\"", {"z", "say \"hi\"", "it's"}},
      {"z \"\" '' a\"\"b", {"z", "ab"}},
      {"z \" \" \"open", {"z", " ", "open"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
  }
}

TEST(Options, LeadingOptionsThenPatterns) {
  using Args = std::vector<std::string>;
  const struct {
    Args args;
    const char* set;  // l, r, k, h(elp), v(ersion), j(son), d(uplicates), D(at), then =jobs
    Args patterns;
    const char* error;
  } cases[] = {
      {{"-l", "-r", "-k", "a"}, "lrk", {"a"}, ""},
      {{"--recursive", "--keep-going", "--", "--x", "-l"}, "rk", {"--x", "-l"}, ""},
      {{"-l", "-l"}, "l", {"-l"}, ""},  // a repeated option is a pattern
      {{"-r", "--recursive", "-k"}, "r", {"--recursive", "-k"}, ""},
      {{"-lr", "-r"}, "", {"-lr", "-r"}, ""},          // no bundling
      {{"-x.d64", "--x"}, "", {"-x.d64", "--x"}, ""},  // single dash: a pattern, and so is all after
      {{"-L", "-l"}, "", {"-L", "-l"}, ""},
      {{"--help", "--version", "a"}, "hv", {"a"}, ""},
      {{"-k", "--x", "a"}, "", {}, "zumtal: unknown option --x (see zumtal --help)"},
      {{"--recursive=1"}, "", {}, "zumtal: unknown option --recursive=1 (see zumtal --help)"},
      {{"-j4", "a"}, "=4", {"a"}, ""},
      {{"-j", "4", "-j", "5"}, "=4", {"-j", "5"}, ""},
      {{"--jobs=6", "-r"}, "r=6", {}, ""},
      {{"--jobs", "7"}, "=7", {}, ""},
      {{"--jobs"}, "", {}, "zumtal: option --jobs needs a value (see zumtal --help)"},
      {{"-jx"}, "", {}, "zumtal: option -jx does not take the value x (see zumtal --help)"},
      {{"-j0"}, "", {}, "zumtal: option -j0 does not take the value 0 (see zumtal --help)"},
      {{"-j", "257"}, "", {}, "zumtal: option -j does not take the value 257 (see zumtal --help)"},
      {{"--jobs=256", "--json", "--duplicates"}, "jd=256", {}, ""},
      {{"--dat", "-k"}, "kD", {}, ""},
      {{"--json", "-l"}, "", {}, "zumtal: --json and -l exclude each other (see zumtal --help)"},
      {{"--dat", "--duplicates"}, "", {}, "zumtal: --dat and --duplicates exclude each other (see zumtal --help)"},
      {{"-l", "--duplicates"}, "", {}, "zumtal: --duplicates and -l exclude each other (see zumtal --help)"},
      {{"--", "--"}, "", {"--"}, ""},
  };
  for (const auto& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args);
    const Options& o = parsed.options;
    std::string set;
    for (const auto& [flag, letter] :
         {std::pair{o.longMode, 'l'}, {o.recursive, 'r'}, {o.keepGoing, 'k'}, {o.help, 'h'}, {o.version, 'v'},
          {o.json, 'j'}, {o.duplicates, 'd'}, {o.dat, 'D'}}) {
      set += flag ? std::string(1, letter) : "";
    }
    set += o.jobs == 0 ? "" : "=" + std::to_string(o.jobs);
    EXPECT_EQ(parsed.error, c.error) << c.args.front();
    if (parsed.error.empty()) {
      EXPECT_EQ(set, c.set) << c.args.front();
      EXPECT_EQ(o.patterns, c.patterns) << c.args.front();
    }
  }
}

TEST(Driver, ProgressLineIsRedrawnSparinglyAndCleared) {
  ErrorOutput err;
  {
    Progress hidden(err, false);
    hidden.Done("a.d64", 1, 1, 0);
  }
  EXPECT_EQ(err.Text(), "");
  {
    Progress progress(err, true);
    progress.Done(std::string(100, 'n') + "\x07.d64", 2, 5, 3 << 20);
    progress.Done("too soon.d64", 1, 1, 0);  // within a tenth of a second: not drawn
  }
  const std::string drawn = "\r2 files, 5 programs, 3 MB: ..." + std::string(44, 'n') + "?.d64";
  ASSERT_EQ(drawn.size(), 80u);  // the carriage return and 79 columns
  EXPECT_EQ(err.Text(), drawn + "\r" + std::string(79, ' ') + "\r");
}

TEST(Driver, FailureLinesShape) {
  const RunFailure failure(100, {0x4E3B, 0xABCDEF, 0x12});
  const auto lines = FailureLines(failure, 2);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Runtime error 100 at 0x00004E3B");
  EXPECT_EQ(lines[1], "  0x00004E3B");
  EXPECT_EQ(lines[2], "  0x00ABCDEF");
  EXPECT_EQ(lines[3], "");
}

TEST(Driver, OrderedJobsGiveResultsInOrder) {
  for (const unsigned threads : {1u, 2u, 8u}) {
    // Later jobs finish first: the order must come from the queue.
    OrderedJobs<int, int> jobs(threads, 16, [](int& job) {
      std::this_thread::sleep_for(std::chrono::microseconds((100 - job % 100) * 10));
      return job * 3;
    });
    std::vector<int> results;
    for (int job = 0; job < 300; ++job) {
      while (jobs.Full()) {
        results.push_back(jobs.PopOldest());
      }
      jobs.Push(job);
    }
    while (!jobs.Empty()) {
      results.push_back(jobs.PopOldest());
    }
    ASSERT_EQ(results.size(), 300u);
    for (int i = 0; i < 300; ++i) {
      ASSERT_EQ(results[static_cast<std::size_t>(i)], 3 * i) << threads;
    }
  }
  // Given up half way, as after a failure: the workers stop and the queue
  // goes away with jobs still in it.
  OrderedJobs<int, int> abandoned(2, 64, [](int& job) { return job; });
  for (int job = 0; job < 64; ++job) {
    abandoned.Push(job);
  }
  EXPECT_EQ(abandoned.PopOldest(), 0);
}

}  // namespace
}  // namespace zumtal
