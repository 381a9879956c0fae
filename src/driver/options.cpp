#include "driver/options.h"

#include <cstddef>
#include <initializer_list>

namespace zumtal {

namespace {

constexpr OptionRow kOptions[] = {
    {"-l", "", "", "a labelled block of six lines per program instead of a CSV line",
     [](Options& o, std::string_view) { return o.longMode = true; }},
    {"-r", "--recursive", "",
     "a folder stands for every file under it that zumtal reads; a pattern matches in its folder and every folder "
     "below",
     [](Options& o, std::string_view) { return o.recursive = true; }},
    {"-k", "--keep-going", "",
     "damage gets one line that says what and where, and the run goes on: with the disk's or archive's next "
     "program when one program is damaged, else with the next file; the exit status is still 100",
     [](Options& o, std::string_view) { return o.keepGoing = true; }},
    {"", "--json", "",
     "JSON Lines: one object per program, with the CRC-32, MD5 and SHA-1 of its PRG form, and one per problem",
     [](Options& o, std::string_view) { return o.json = true; }},
    {"", "--duplicates", "",
     "instead of the reports, every group of programs with the same SHA-1, then a summary line (with --json, "
     "as objects)",
     [](Options& o, std::string_view) { return o.duplicates = true; }},
    {"", "--dat", "", "instead of the reports, a Logiqx XML DAT file of every program, for ROM managers",
     [](Options& o, std::string_view) { return o.dat = true; }},
    {"", "--match", "DATS",
     "instead of the reports, every program and file named against the DATs in DATS (a DAT, a folder of "
     "them or a zip of them): have, unknown and miss lines and a summary (with --json as objects, with --dat a "
     "DAT of what is missing)",
     [](Options& o, std::string_view value) {
       o.match = value;
       return !value.empty();
     }},
    {"", "--db", "FILE",
     "keep the catalogue in the SQLite database FILE (made when absent; also --db=FILE): a file whose path, size "
     "and modification time it holds is not read again; the output is the same as without",
     [](Options& o, std::string_view value) {
       o.db = value;
       return !value.empty();
     }},
    {"-j", "--jobs", "N",
     "read, decode and hash on N threads, 1 to 256 (also -jN, --jobs=N; default: the cores available); the "
     "output is the same for every N",
     [](Options& o, std::string_view value) {
       unsigned jobs = 0;
       for (const char digit : value) {
         if (digit < '0' || digit > '9' || jobs > 256) {
           return false;
         }
         jobs = jobs * 10 + static_cast<unsigned>(digit - '0');
       }
       o.jobs = jobs;
       return jobs >= 1 && jobs <= 256;
     }},
    {"", "--help", "", "show this help and exit", [](Options& o, std::string_view) { return o.help = true; }},
    {"", "--version", "", "show the version and exit", [](Options& o, std::string_view) { return o.version = true; }},
};

// "zumtal: " and the parts, and where to look.
std::string UsageError(std::initializer_list<std::string_view> parts) {
  std::string line = "zumtal: ";
  for (const std::string_view part : parts) {
    line.append(part);
  }
  return line.append(" (see zumtal --help)");
}

struct Match {
  const OptionRow* row = nullptr;
  bool hasValue = false;  // the value came in the same argument
  std::string_view value;
};

Match FindOption(std::string_view arg, std::span<const OptionRow> table) {
  for (const OptionRow& row : table) {
    const bool takesValue = !row.valueName.empty();
    for (const std::string_view name : {row.shortName, row.longName}) {
      if (name.empty() || !arg.starts_with(name)) {
        continue;
      }
      const std::string_view rest = arg.substr(name.size());
      if (rest.empty()) {
        return {&row, false, {}};
      }
      if (!takesValue) {
        continue;
      }
      if (name == row.longName && rest.front() == '=') {
        return {&row, true, rest.substr(1)};
      }
      if (name == row.shortName) {
        return {&row, true, rest};
      }
    }
  }
  return {};
}

}  // namespace

std::span<const OptionRow> OptionTable() { return kOptions; }

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, std::span<const OptionRow> table) {
  ParsedCommandLine parsed;
  std::vector<bool> seen(table.size(), false);
  std::size_t index = 0;
  for (; index < args.size(); ++index) {
    const std::string_view arg = args[index];
    if (arg == "--") {
      ++index;
      break;
    }
    const Match match = FindOption(arg, table);
    if (match.row == nullptr) {
      if (arg.starts_with("--")) {
        parsed.error = UsageError({"unknown option ", arg});
        return parsed;
      }
      break;
    }
    const auto row = static_cast<std::size_t>(match.row - table.data());
    if (seen[row]) {
      break;
    }
    seen[row] = true;
    std::string_view value = match.value;
    if (!match.row->valueName.empty() && !match.hasValue) {
      if (index + 1 == args.size()) {
        parsed.error = UsageError({"option ", arg, " needs a value"});
        return parsed;
      }
      value = args[++index];
    }
    if (!match.row->apply(parsed.options, value)) {
      parsed.error = UsageError({"option ", arg, " does not take the value ", value});
      return parsed;
    }
  }
  // Layouts exclude each other, but --duplicates may be written as JSON,
  // and --match as JSON or as a DAT.
  const Options& o = parsed.options;
  const struct {
    bool both;
    std::string_view first, second;
  } conflicts[] = {{o.json && o.longMode, "--json", "-l"},
                   {o.dat && o.longMode, "--dat", "-l"},
                   {o.dat && o.json, "--dat", "--json"},
                   {o.dat && o.duplicates, "--dat", "--duplicates"},
                   {o.duplicates && o.longMode, "--duplicates", "-l"},
                   {!o.match.empty() && o.longMode, "--match", "-l"},
                   {!o.match.empty() && o.duplicates, "--match", "--duplicates"}};
  for (const auto& conflict : conflicts) {
    if (conflict.both) {
      parsed.error = UsageError({conflict.first, " and ", conflict.second, " exclude each other"});
      return parsed;
    }
  }
  parsed.options.patterns.assign(args.begin() + static_cast<std::ptrdiff_t>(index), args.end());
  return parsed;
}

}  // namespace zumtal
