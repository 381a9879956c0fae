// Runs a reader in-process on bytes built in the test.
#pragma once

#include <string>
#include <string_view>

#include "base/run_failure.h"
#include "builders.h"
#include "driver/catalogue.h"
#include "readers/names.h"
#include "readers/readers.h"
#include "report/program_hash.h"
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

// A reader that catalogues its file as a run does (the key line, archives);
// the status that keep-going returns is thrown.
inline void Catalogue(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  auto& reports = static_cast<ReportWriter&>(sink);
  const int status = CatalogueInput(in, names.pcFileName, names.pcFileName, 0, CatalogueContext{reports});
  if (status != 0) throw RunFailure(status, {});
}

// The CSV line of a program as a PRG file holds it (its size modulo 65536),
// on a disk of that name.
inline std::string DiskLine(std::string_view file, std::string_view name, const Bytes& program,
                            std::string_view disk = "BLANK") {
  return CsvLine(file, ToPrintable(PaddedName(disk)), ToPrintable(PaddedName(name)), program[0] | program[1] << 8,
                 static_cast<std::int64_t>((program.size() - 2) % 65536), Sum(program, 2), ToHex(PaddedName(disk)),
                 ToHex(PaddedName(name)));
}

// The hashes of bytes given in one call.
inline ProgramHashes HashesOf(const Bytes& bytes) {
  ProgramHash hash;
  hash.Take(bytes.data(), bytes.size());
  return hash.Finish();
}

// The hashes of a PRG file's bytes as a JSON report holds them.
inline std::string JsonHashes(const Bytes& prg) {
  const ProgramHashes h = HashesOf(prg);
  return "\"crc32\":\"" + LowerHex(h.crc32) + "\",\"md5\":\"" + LowerHex(h.md5) + "\",\"sha1\":\"" + LowerHex(h.sha1);
}

}  // namespace zumtal::testing
