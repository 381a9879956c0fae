// A T64 tape archive: a 64-byte header, then 32-byte directory entries.
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::uint64_t kCountOffset = 36;
constexpr std::uint64_t kTapeNameOffset = 40;
constexpr std::size_t kTapeNameLength = 23;
constexpr std::size_t kEntryNameLength = 16;

std::uint64_t EntryStart(std::uint64_t number) { return 32 * number + 32; }

}  // namespace

void ReadT64(InputFile& in, ReportWriter& reports, const ContainerNames& names) {
  EntryReport report;
  report.pcFileName = names.pcFileName;
  in.SeekTo(kTapeNameOffset);
  report.imageName = in.ReadText(kTapeNameLength);
  report.imageNameHex = ToHex(report.imageName);

  in.SeekTo(kCountOffset);
  const std::uint16_t count = in.ReadWord();
  for (std::uint64_t number = 1; number <= count; ++number) {
    const std::uint64_t entry = EntryStart(number);
    in.SeekTo(entry + 2);
    report.loadAddress = in.ReadWord();
    const std::uint16_t endAddress = in.ReadWord();
    const auto size = static_cast<std::uint16_t>(endAddress - report.loadAddress);
    report.size = size;

    in.SeekTo(entry + 16);
    report.entryName = in.ReadText(kEntryNameLength);
    report.entryNameHex = ToHex(report.entryName);

    // The data offset is the whole 32-bit field: archives over 64 KiB are
    // common, and its low half alone would sum the wrong bytes.
    in.SeekTo(entry + 8);
    const std::uint32_t low = in.ReadWord();
    const std::uint32_t high = in.ReadWord();
    in.SeekTo(low | (high << 16));
    reports.BeginProgram(in, report.loadAddress);
    report.rawCrc = static_cast<std::int32_t>(in.SumBytes(size));
    reports.WriteEntryReport(report, Container::kT64);
  }
}

}  // namespace zumtal
