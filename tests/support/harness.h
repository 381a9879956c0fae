// Runs a reader in-process on bytes built in the test.
#pragma once

#include <string>
#include <string_view>

#include "base/run_failure.h"
#include "builders.h"
#include "readers/names.h"
#include "readers/readers.h"
#include "report/report_writer.h"

namespace zumtal::testing {

struct ReaderResult {
  std::string output;
  int status = 0;  // 0, or the status of the run-ending failure
};

// `bareName`, when given, is the container's own name apart from its PC file
// name (an archive member's).
inline ReaderResult RunReader(Reader reader, Bytes bytes, std::string_view fileName, Layout layout = Layout::kCsv,
                              std::string_view bareName = {}, bool keepGoing = false) {
  Output out;
  ReportWriter reports(out, layout, Collect::kNone, keepGoing);
  InputFile in(std::move(bytes));
  ReaderResult result;
  // The reader's own row; a test's own reader is read as the first format.
  const Format* format = &Formats().front();
  for (const Format& row : Formats()) {
    format = row.read == reader ? &row : format;
  }
  try {
    reader(in, reports, ContainerNames{fileName, bareName.empty() ? fileName : bareName, *format});
  } catch (const RunFailure& failure) {
    result.status = failure.Code();
  }
  result.output = out.Text();
  return result;
}

// The CSV line of one report, as the report layout writes it.
inline std::string CsvLine(std::string_view pc, std::string_view image, std::string_view entry, std::int64_t load,
                           std::int64_t size, std::int64_t crc, std::string_view imageHex, std::string_view entryHex) {
  return "\"" + std::string(pc) + "\",\"" + std::string(image) + "\",\"" + std::string(entry) + "\"," +
         std::to_string(load) + "," + std::to_string(size) + "," + std::to_string(crc) + ",\"" + std::string(imageHex) +
         "\",\"" + std::string(entryHex) + "\"\r\n";
}

}  // namespace zumtal::testing
