// The leading options of the command line, from one table.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zumtal {

struct Options {
  bool longMode = false;
  bool recursive = false;
  bool keepGoing = false;
  bool json = false;
  bool duplicates = false;
  bool dat = false;
  // --match: the DAT file, folder of DATs or zip of DATs; empty without.
  std::string match;
  // --db: the catalogue database; empty without.
  std::string db;
  // Threads; 0 until given: as many as the cores available.
  unsigned jobs = 0;
  bool help = false;
  bool version = false;
  std::vector<std::string> patterns;
};

// One option. The names are written out whole ("-r", "--recursive"); either
// may be empty. An option with a value name takes a value: "-jN" or "-j N",
// "--jobs=N" or "--jobs N".
struct OptionRow {
  std::string_view shortName;
  std::string_view longName;
  std::string_view valueName;
  std::string_view help;
  // Sets the option; false when its value is not one it takes.
  bool (*apply)(Options& options, std::string_view value);
};

std::span<const OptionRow> OptionTable();

struct ParsedCommandLine {
  Options options;
  // Empty, or the usage error's one line (without line end).
  std::string error;
};

// Options stand before the patterns. The first argument that is no option
// ends them, and so does "--" (which is dropped); everything after is a
// pattern. An option given a second time is a pattern, and so is anything
// that merely begins with an option's name ("-lr"). Among the options, an
// argument beginning with "--" that names none is a usage error; one with a
// single dash is a pattern.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args,
                                   std::span<const OptionRow> table = OptionTable());

}  // namespace zumtal
