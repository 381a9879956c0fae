// A T64 tape archive: a 64-byte header, then 32-byte directory entries.
#include <string>

#include "base/run_failure.h"
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::uint64_t kCountOffset = 36;
constexpr std::uint64_t kTapeNameOffset = 40;
constexpr std::size_t kTapeNameLength = 23;
constexpr std::size_t kEntryNameLength = 16;
constexpr std::uint64_t kEntrySize = 32;

std::uint64_t EntryStart(std::uint64_t number) { return kEntrySize * number + 32; }

// "bytes 64 to 96 lie beyond the end of the file (80 bytes)", with the
// subject's own verb.
std::string Beyond(std::string_view subject, std::uint64_t begin, std::uint64_t end, const InputFile& in) {
  return std::string(subject) + std::to_string(begin) + " to " + std::to_string(end) +
         (subject == "bytes " ? " lie" : " lies") + " beyond the end of the file (" + std::to_string(in.FileLength()) +
         " bytes)";
}

// The directory's bytes [begin, end) lie within the file.
void NeedDirectory(const InputFile& in, std::uint64_t begin, std::uint64_t end) {
  if (end > in.FileLength()) {
    FailRead(Beyond("directory at bytes ", begin, end, in));
  }
}

}  // namespace

void ReadT64(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  EntryReport report;
  report.pcFileName = names.pcFileName;
  NeedDirectory(in, 0, kTapeNameOffset + kTapeNameLength);
  in.SeekTo(kTapeNameOffset);
  report.imageName = in.ReadText(kTapeNameLength);
  report.imageNameHex = ToHex(report.imageName);

  in.SeekTo(kCountOffset);
  const std::uint16_t count = in.ReadWord();
  for (std::uint64_t number = 1; number <= count; ++number) {
    const std::uint64_t entry = EntryStart(number);
    NeedDirectory(in, entry, entry + kEntrySize);
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
    const std::uint64_t offset = in.ReadLong();
    ReadProgram(sink, report, names.format, [&] {
      if (size != 0 && offset + size > in.FileLength()) {
        FailRead(Beyond("bytes ", offset, offset + size, in));
      }
      in.SeekTo(offset);
      sink.BeginProgram(in, report.loadAddress);
      report.rawCrc = static_cast<std::int32_t>(in.SumBytes(size));
    });
  }
}

}  // namespace zumtal
