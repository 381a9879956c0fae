#include "driver/run.h"

#include "driver/catalogue.h"
#include "driver/dir_search.h"
#include "driver/help.h"
#include "driver/options.h"
#include "driver/progress.h"
#include "readers/archives.h"
#include "readers/input_file.h"
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

// Opens and catalogues one file that a search or walk found.
int CatalogueFound(const FoundFile& file, const CatalogueContext& context) {
  const auto in = InputFile::Open(file.path, file.directory);
  if (!in) {
    context.reports.WriteOpenError(file.name);
    return 0;
  }
  int status = 0;
  if (file.bare != "STDERR.TXT") {
    status = CatalogueInput(*in, file.name, file.bare, 0, context);
  }
  context.progress->Read(in->FileLength());
  in->Close();
  return status;
}

class RecursiveArgument : public TreeVisitor {
 public:
  explicit RecursiveArgument(const CatalogueContext& context) : context_(context) {}
  bool Wants(std::string_view name) override { return IsCatalogued(name); }
  void File(const FoundFile& file) override { Keep(CatalogueFound(file, context_)); }
  void UnreadableFolder(std::string_view path) override {
    context_.reports.WriteProblem(path, "folder cannot be read");
  }
  void Keep(int status) { status_ = status_ != 0 ? status_ : status; }
  int Status() const { return status_; }

 private:
  const CatalogueContext& context_;
  int status_ = 0;
};

int ProcessArguments(const Options& options, const CatalogueContext& context) {
  RecursiveArgument run(context);
  for (const std::string& pattern : options.patterns) {
    if (options.recursive) {
      WalkArgument(pattern, run);
      continue;
    }
    for (const FoundFile& file : SearchDirectory(pattern)) {
      run.Keep(CatalogueFound(file, context));
    }
  }
  return run.Status();
}

}  // namespace

int Run(const std::vector<std::string>& args, Output& out, ErrorOutput& err) {
  if (args.empty()) {
    out.EndLine();
    for (const auto line : kUsage) {
      out.Line(line);
    }
    return 0;
  }
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.error.empty()) {
    err.Write(parsed.error + "\r\n");
    return 2;
  }
  const Options& options = parsed.options;
  if (options.help) {
    WriteHelp(out);
    return 0;
  }
  if (options.version) {
    out.Write("zumtal ");
    out.Line(Version());
    return 0;
  }
  out.EndLine();
  ReportWriter reports(out, options.longMode);
  Progress progress(err, err.IsTerminal() && !out.IsTerminal(), reports);
  const int status = ProcessArguments(options, CatalogueContext{reports, options.keepGoing, &progress});
  progress.Clear();
  for (const auto line : kFooter) {
    out.Line(line);
  }
  return status;
}

}  // namespace zumtal
