// A SID tune: a header (the signature "PSID" or "RSID", the version, 1 to 4,
// the offset of the tune's data, its load, init and play addresses, the
// number of songs, the start song, the speed flags, then the tune's name,
// author and release line, 32 bytes each padded with zero bytes), then the
// data. All numbers of the header are big-endian. A load address of 0 says
// that the data begins with the load address, low byte first, as a PRG file
// does.
//
// The tune is one program: its load address, then its data bytes, so that a
// tune and a PRG file of the same bytes are the same program.
#include <string>

#include "base/run_failure.h"
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::uint64_t kDataOffsetAt = 6;
constexpr std::uint64_t kLoadAddressAt = 8;
constexpr std::uint64_t kNameAt = 22;
constexpr std::size_t kNameLength = 32;
constexpr std::uint64_t kShortestHeader = 118;

std::uint16_t ReadBigWord(InputFile& in) {
  const std::uint16_t high = in.ReadByte();
  return static_cast<std::uint16_t>(high << 8 | in.ReadByte());
}

}  // namespace

void ReadSid(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  const std::uint64_t fileLength = in.FileLength();
  bool isSid = false;
  if (fileLength >= kDataOffsetAt) {
    in.SeekTo(0);
    const std::string signature = in.ReadText(4);
    const std::uint16_t version = ReadBigWord(in);
    isSid = (signature == "PSID" || signature == "RSID") && version >= 1 && version <= 4;
  }
  if (!isSid) {
    sink.NotC64(names.pcFileName);
    return;
  }
  if (fileLength < kLoadAddressAt) {
    FailRead("header cut short (" + std::to_string(fileLength) + " bytes)");
  }

  in.SeekTo(kDataOffsetAt);
  const std::uint64_t dataOffset = ReadBigWord(in);
  const auto fail = [dataOffset](const std::string& what) {
    FailRead("data offset " + std::to_string(dataOffset) + ": " + what);
  };
  if (dataOffset < kShortestHeader) {
    fail("below " + std::to_string(kShortestHeader));
  }
  if (dataOffset > fileLength) {
    fail("past the end of the file (" + std::to_string(fileLength) + " bytes)");
  }

  EntryReport report = OneProgramReport(in, names, kNameAt, kNameLength);

  in.SeekTo(kLoadAddressAt);
  report.loadAddress = ReadBigWord(in);
  report.size = fileLength - dataOffset;
  in.SeekTo(dataOffset);
  if (report.loadAddress == 0) {
    if (report.size < 2) {
      FailRead("no load address in the data");
    }
    report.loadAddress = in.ReadWord();
    report.size -= 2;
  }
  sink.BeginProgram(in, report.loadAddress);
  report.rawCrc = static_cast<std::int32_t>(in.SumBytes(report.size));
  sink.EndProgram(report, names.format);
}

}  // namespace zumtal
