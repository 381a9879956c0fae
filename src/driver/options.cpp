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
     "a file that cannot be read gets one line and the run goes on; the exit status is still 100",
     [](Options& o, std::string_view) { return o.keepGoing = true; }},
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
  parsed.options.patterns.assign(args.begin() + static_cast<std::ptrdiff_t>(index), args.end());
  return parsed;
}

}  // namespace zumtal
