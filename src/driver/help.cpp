#include "driver/help.h"

#include <algorithm>
#include <string>

#include "driver/options.h"
#include "readers/readers.h"
#include "zumtal_version.h"

namespace zumtal {

namespace {

constexpr std::string_view kIntroduction[] = {
    "Usage: zumtal [OPTION]... PATTERN...",
    "Catalogue the Commodore 64 programs in PC files: one report per program, a CSV",
    "line (or a labelled block with -l) with its load address, size and raw CRC.",
#ifdef _WIN32
    "A pattern names files: * and ? work in its last component, in any case.",
#else
    "A pattern names files: * and ? work in its last component, case matters.",
#endif
    "",
    "Options stand before the patterns; -- ends them. Each counts once: a repeated",
    "option is a pattern, and so is -lr. Of -l, --json, --duplicates and --dat only",
    "--duplicates and --json go together.",
};

// The archives' extensions, and what they hold; the formats' come from
// their table.
constexpr std::pair<std::string_view, std::string_view> kArchives[] = {
    {".zip",
     "a zip archive: each member with one of these extensions, in the order of its directory (stored or "
     "deflated, ZIP64 too)"},
    {".gz", "a gzip file: the format of its name without .gz (game.d64.gz)"},
    {".d6z .d7z .d8z .g6z", "a gzipped .d64, .d71, .d81 or .g64"},
};

constexpr std::string_view kClosing[] = {
    "Extensions count in any case. Archives nest up to 8 deep; a member larger than",
    "64 MiB is skipped with a line. Not read: .7z and .rar archives, and the",
    "programs inside the partitions of a 1581 disk image.",
    "",
    "Exit status:",
    "  0      normal end, also when files could not be opened or are not C64 files",
    "  2      a usage error: an unknown --option, a bad value of -j, or layouts",
    "         that exclude each other (one line on standard error)",
    "  100    a file could not be read or an archive is damaged (with -k: at the",
    "         end of the run)",
    "  other  the system's error number of a failed write to standard output",
};

constexpr std::size_t kColumn = 22;
constexpr std::size_t kWidth = 79;

// "  NAMES" padded to the column, then the text, wrapped at blanks; names
// too long for the column stand on a line of their own.
void WriteItem(Output& out, std::string_view names, std::string_view text) {
  std::string lead("  ");
  lead.append(names);
  if (lead.size() + 1 > kColumn) {
    out.Line(lead);
    lead.clear();
  }
  do {
    std::size_t take = text.size();
    if (kColumn + take > kWidth) {
      take = std::min(take, text.rfind(' ', kWidth - kColumn));
    }
    lead.resize(kColumn, ' ');
    out.Write(lead);
    out.Line(text.substr(0, take));
    text.remove_prefix(std::min(text.size(), take + 1));
    lead.clear();
  } while (!text.empty());
}

}  // namespace

std::string_view Version() { return ZUMTAL_VERSION; }

void WriteHelp(Output& out) {
  for (const auto line : kIntroduction) {
    out.Line(line);
  }
  for (const OptionRow& row : OptionTable()) {
    std::string names(row.shortName.empty() ? "    " : row.shortName);
    names.append(row.shortName.empty() || row.longName.empty() ? "" : ", ").append(row.longName);
    if (!row.valueName.empty()) {
      names.append(" ").append(row.valueName);
    }
    WriteItem(out, names, row.help);
  }
  out.Line("");
  out.Line("Formats, by extension:");
  for (const Format& format : Formats()) {
    WriteItem(out, format.helpNames, format.help);
  }
  for (const auto& [extensions, what] : kArchives) {
    WriteItem(out, extensions, what);
  }
  out.Line("");
  for (const auto line : kClosing) {
    out.Line(line);
  }
}

}  // namespace zumtal
