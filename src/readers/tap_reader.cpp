// TAP tape images: the programs that the machine's own tape routine saved.
// Fast-loaded parts, data files and noise between them are passed over.
#include <string>

#include "base/run_failure.h"
#include "readers/names.h"
#include "readers/readers.h"
#include "readers/tap_decoder.h"

namespace zumtal {

void ReadTap(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  if (CheckTapHeader(in) != TapCheck::kC64Tape) {
    sink.NotC64(names.pcFileName);
    return;
  }
  EntryReport report;
  report.pcFileName = names.pcFileName;
  report.imageName = names.bareName;
  report.imageNameHex = ToHex(names.bareName);
  DecodeTap(in, [&](const TapProgram& program) {
    report.entryName = ToPrintable(program.name);
    report.entryNameHex = ToHex(program.name);
    report.loadAddress = program.start;
    ReadProgram(sink, report, names.format, [&] {
      switch (program.data) {
        case TapProgram::Data::kNoGoodCopy:
          FailRead("data block at byte " + std::to_string(program.dataOffset) + " has no good copy");
        case TapProgram::Data::kMissing:
          FailRead("data block missing after its header at byte " + std::to_string(program.headerOffset));
        case TapProgram::Data::kGood:
          break;
      }
      // The data bytes are decoded into memory: they are summed and hashed
      // from there.
      InputFile data(program.bytes);
      sink.BeginProgram(data, program.start);
      report.size = program.bytes.size();
      report.rawCrc = static_cast<std::int32_t>(data.SumBytes(program.bytes.size()));
    });
  });
}

}  // namespace zumtal
