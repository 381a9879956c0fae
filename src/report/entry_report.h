// The report of one program: a CSV line, or the six-line long block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "report/output.h"
#include "report/program_hash.h"

namespace zumtal {

class InputFile;
class ProgramHash;
class RunFailure;

enum class Container { kPrg, kT64, kD64, kD71, kD81, kG64, kP00, kLnx };

// The format's name as machine-readable layouts write it ("D64").
std::string_view FormatName(Container container);

struct EntryReport {
  std::string pcFileName;
  std::string imageName;
  std::string entryName;
  std::uint16_t loadAddress = 0;
  // The true number of data bytes; the CSV line and the long block write it
  // modulo 65536.
  std::uint64_t size = 0;
  std::int32_t rawCrc = 0;
  std::string imageNameHex;
  std::string entryNameHex;
};

// How the run writes its reports: CSV lines, six-line blocks (-l), or JSON
// Lines (--json), the one layout with hashes.
enum class Layout { kCsv, kLong, kJson };

// Whether reports are written as they come or collected for a summary of the
// whole run: --duplicates collects programs, --dat also the lines about
// files and where each container begins.
enum class Collect { kNone, kDuplicates, kDat };

// Where readers hand their reports: the output and the run's layout.
class ReportWriter {
 public:
  ReportWriter(Output& out, Layout layout, Collect collect = Collect::kNone);
  ReportWriter(Output& out, bool longMode) : ReportWriter(out, longMode ? Layout::kLong : Layout::kCsv) {}
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Called by a reader once it has read a program's load address, before
  // it sums the program's data bytes from `in`. In the layouts with hashes
  // the bytes that `in` sums from now on go into the program's hashes.
  void BeginProgram(InputFile& in, std::uint16_t loadAddress);
  void WriteEntryReport(const EntryReport& report, Container container);

  // The lines of the run about files rather than programs. Every layout
  // decides how (and whether) it writes each of them.
  // The upper-cased extension key before a file's reports.
  void WriteKeyLine(std::string_view key);
  // A file that could not be opened.
  void WriteOpenError(std::string_view name);
  // A file that no reader reads.
  void WriteNotC64(std::string_view name);
  // Anything else passed over or cut short: "!Error: NAME: what".
  void WriteProblem(std::string_view name, std::string_view what);

  // The file or archive member being read from now on: the run-ending
  // failure names it.
  void BeginFile(std::string_view name);
  const std::string& CurrentFile() const { return file_; }
  // The run-ending failure, in the run's layout. It writes without passing
  // anything on, so a failing output cannot throw again.
  void WriteFailure(const RunFailure& failure);
  // The reports written, and the files and members begun, so far.
  std::uint64_t ProgramCount() const { return programs_; }
  std::uint64_t FileCount() const { return files_; }

  // What a collecting writer gathered since the last call, in order.
  struct Collected {
    enum class Kind { kProgram, kComment, kContainer } kind;
    EntryReport report;       // kProgram
    ProgramHashes digests;    // kProgram
    std::string text;         // kComment: the line as the CSV layout writes it
  };
  std::vector<Collected> TakeCollected();

 private:
  // JSON: `"file":NAME` and, for a name that is not UTF-8, its bytes in hex.
  void AppendFileKeys(std::string_view name);
  void WriteEvent(std::string_view name, std::string_view error);
  // A line about a file: `text` in the text layouts, a comment for a DAT,
  // an object with `error` in JSON.
  void WriteFileLine(std::string_view name, const std::string& text, std::string_view error);

  Output& out_;
  Layout layout_;
  Collect collect_;
  std::vector<Collected> collected_;
  std::unique_ptr<ProgramHash> hash_;  // in the layouts with hashes
  std::string file_;
  std::string line_;  // a JSON line being built
  std::uint64_t programs_ = 0;
  std::uint64_t files_ = 0;
};

}  // namespace zumtal
