#include "driver/run.h"

#include "driver/dir_search.h"
#include "driver/run_failure.h"
#include "readers/input_file.h"
#include "readers/readers.h"
#include "report/entry_report.h"

namespace zumtal {

namespace {

constexpr std::string_view kUsage[] = {
    "ZUMTAL V1.0 - Creating a raw CRC from a .d64, .t64 or .prg file",
    "USE: zumtal inputfile [inputfile] [inputfile...]",
    "Parameters:",
    " -l: long detailed info, otherwise you get CSVs on screen",
    " inputfiles are CAS files",
    "For example:",
    " zumtal -l sosperec.t64 bizbaz.d64",
    "OR",
    " zumtal -l a*.t64",
    "OR redirect output to file",
    " zumtal *.t64 >list.txt",
    "",
    "The structure of the CSV lines is the following:",
    "1) PC file name (D64, T64, PRG)",
    "2) Image name in the file, if it is stored (D64, T64), ASCII (32-128)",
    "3) Name of the file founded in the image (see 2)",
    "4) Load address",
    "5) Size in bytes",
    "6) RawCRC - a simple sum of the databytes only",
    "The followings are needed only at D64 images because they can contain",
    "non ASCII strings, but the hexcode of the names pereserves the original name.",
    "7) Original image name converted to hex string",
    "8) Original file name converted to hex string",
    "",
};

constexpr std::string_view kFooter[] = {
    "------------------------------------------------",
    "http://www.zumtal.example.org",
    "http://utilities.zumtal.example.org - not yet available",
    "",
    "Don't forget to send us, if you have a",
    "software that we have not on the website.",
};

void DispatchFile(InputFile& in, ReportWriter& reports, const std::string& fileName) {
  const std::string key = ExtensionKey(fileName);
  reports.BeginFile(fileName);
  reports.WriteKeyLine(key);
  if (const Reader reader = FindReader(key)) {
    reader(in, reports, ContainerNames{fileName, fileName});
  } else {
    reports.WriteNotC64(fileName);
  }
}

void ProcessArguments(const std::vector<std::string>& args, std::size_t first, ReportWriter& reports) {
  for (std::size_t index = first; index < args.size(); ++index) {
    for (const FoundFile& file : SearchDirectory(args[index])) {
      const auto in = InputFile::Open(file.path);
      if (!in) {
        reports.WriteOpenError(file.name);
        continue;
      }
      if (file.name != "STDERR.TXT") {
        DispatchFile(*in, reports, file.name);
      }
      in->Close();
    }
  }
}

}  // namespace

std::string ExtensionKey(std::string_view fileName) {
  std::string key(fileName.substr(fileName.size() >= 4 ? fileName.size() - 4 : 0));
  for (auto& character : key) {
    if (character >= 'a' && character <= 'z') {
      character = static_cast<char>(character - 'a' + 'A');
    }
  }
  return key;
}

int Run(const std::vector<std::string>& args, Output& out) {
  // A leading -l or --json chooses the layout; the two exclude each other.
  Layout layout = Layout::kCsv;
  std::size_t first = 0;
  if (!args.empty() && (args[0] == "-l" || args[0] == "--json")) {
    layout = args[0] == "-l" ? Layout::kLong : Layout::kJson;
    first = 1;
    if (args.size() > 1 && (args[1] == "-l" || args[1] == "--json") && args[1] != args[0]) {
      throw UsageError("--json and -l exclude each other");
    }
  }
  // JSON Lines have no leading empty line, usage text or footer.
  const bool json = layout == Layout::kJson;
  if (!json) {
    out.EndLine();
  }
  if (args.empty()) {
    for (const auto line : kUsage) {
      out.Line(line);
    }
    return 0;
  }
  ReportWriter reports(out, layout);
  try {
    ProcessArguments(args, first, reports);
  } catch (const RunFailure& failure) {
    // The failure goes out in the run's layout before main ends the run.
    reports.WriteFailure(failure);
    throw;
  }
  if (json) {
    return 0;
  }
  for (const auto line : kFooter) {
    out.Line(line);
  }
  return 0;
}

}  // namespace zumtal
