// The report of one program: a CSV line, or the six-line long block.
#pragma once

#include <cstdint>
#include <string>

#include "report/output.h"

namespace zumtal {

enum class Container { kPrg, kT64, kD64 };

struct EntryReport {
  std::string pcFileName;
  std::string imageName;
  std::string entryName;
  std::uint16_t loadAddress = 0;
  std::uint16_t size = 0;
  std::int32_t rawCrc = 0;
  std::string imageNameHex;
  std::string entryNameHex;
};

// Where readers hand their reports: the output and the run's layout.
class ReportWriter {
 public:
  ReportWriter(Output& out, bool longMode) : out_(out), longMode_(longMode) {}
  void WriteEntryReport(const EntryReport& report, Container container);

 private:
  Output& out_;
  bool longMode_;
};

}  // namespace zumtal
