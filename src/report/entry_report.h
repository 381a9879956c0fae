// The report of one program: a CSV line, or the six-line long block.
#pragma once

#include <cstdint>
#include <string>

#include "report/output.h"

namespace zumtal {

class InputFile;

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

// Where readers hand their reports: the output and the run's layout.
class ReportWriter {
 public:
  ReportWriter(Output& out, bool longMode) : out_(out), longMode_(longMode) {}
  // Called by a reader once it has read a program's load address, before
  // it sums the program's data bytes from `in`.
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

  // The reports written so far.
  std::uint64_t ProgramCount() const { return programs_; }

 private:
  Output& out_;
  bool longMode_;
  std::uint64_t programs_ = 0;
};

}  // namespace zumtal
