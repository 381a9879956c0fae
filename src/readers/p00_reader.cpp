// A PC64 file: "C64File" and a zero byte, the C64 file's 16-byte name, a zero
// byte, the REL record size, then the file's data. For a program (.P00 to
// .P99) that is its load address and its bytes.
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::uint64_t kNameOffset = 8;
constexpr std::size_t kNameLength = 16;
constexpr std::uint64_t kDataOffset = 26;

}  // namespace

void ReadP00(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  // The name as stored, padded with zero bytes or $A0 alike.
  EntryReport report = OneProgramReport(in, names, kNameOffset, kNameLength);

  in.SeekTo(kDataOffset);
  report.loadAddress = in.ReadWord();
  sink.BeginProgram(in, report.loadAddress);
  // The load address was read, so the file holds at least 28 bytes.
  report.size = in.FileLength() - kDataOffset - 2;
  report.rawCrc = static_cast<std::int32_t>(in.SumBytes(report.size));
  sink.EndProgram(report, names.format);
}

void ReadPc64NonProgram(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  (void)in;
  (void)sink;
  (void)names;
}

}  // namespace zumtal
