// A PRG file: a two-byte load address, then the program's data.
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

void ReadPrg(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  const std::string_view bare = names.bareName;
  EntryReport report;
  report.pcFileName = names.pcFileName;
  report.imageName = bare;
  report.imageNameHex = ToHex(bare);
  report.entryName = bare.substr(0, bare.size() >= 4 ? bare.size() - 4 : 0);
  report.entryNameHex = ToHex(report.entryName);

  in.SeekTo(0);
  report.loadAddress = in.ReadWord();
  sink.BeginProgram(in, report.loadAddress);
  // Two bytes were read, so the file holds at least two.
  report.rawCrc = static_cast<std::int32_t>(in.SumBytes(in.FileLength() - 2));
  report.size = in.FileLength() - 2;
  sink.EndProgram(report, names.format);
}

}  // namespace zumtal
