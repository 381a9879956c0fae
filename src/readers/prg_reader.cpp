// A PRG file: a two-byte load address, then the program's data.
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

void ReadPrg(InputFile& in, ReportWriter& reports, std::string_view fileName) {
  EntryReport report;
  report.pcFileName = fileName;
  report.imageName = fileName;
  report.imageNameHex = ToHex(fileName);
  report.entryName = fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0);
  report.entryNameHex = ToHex(report.entryName);

  in.SeekTo(0);
  report.loadAddress = in.ReadWord();
  // Two bytes were read, so the file holds at least two.
  report.rawCrc = static_cast<std::int32_t>(in.SumBytes(in.FileLength() - 2));
  report.size = static_cast<std::uint16_t>(in.FileLength() - 2);
  reports.WriteEntryReport(report, Container::kPrg);
}

}  // namespace zumtal
