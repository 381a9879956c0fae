// A D64 disk image: the directory from track 18, sector 1, and each closed
// program's chain of sectors.
#include <bitset>

#include "driver/run_failure.h"
#include "readers/d64.h"
#include "readers/names.h"
#include "readers/readers.h"

namespace zumtal {

namespace {

constexpr std::uint64_t kDiskNameOffset = 91536;  // track 18, sector 0, byte 144
constexpr std::size_t kNameLength = 16;
constexpr std::uint8_t kClosedProgram = 130;
constexpr int kEntriesPerSector = 8;
constexpr std::uint64_t kEntrySize = 32;

// A sector's place in the file; a sector number past its track's count names
// a place further on. Tracks outside 1 to 40 have none: such a sector cannot
// be read, so the run ends as for a sector beyond the end of the image.
std::uint64_t SectorPosition(std::uint8_t track, std::uint8_t sector) {
  if (track < 1 || track > kMaxTrack) {
    FailRun(kReadFailure);
  }
  return TrackOffset[track] + kSectorSize * sector;
}

// Sector places already walked, by position: at most 1007 of them exist.
class VisitedSectors {
 public:
  // False when the position was visited before.
  bool Visit(std::uint64_t position) {
    const std::size_t index = static_cast<std::size_t>(position / kSectorSize);
    if (seen_.test(index)) {
      return false;
    }
    seen_.set(index);
    return true;
  }

 private:
  std::bitset<(TrackOffset[kMaxTrack] + 256 * kSectorSize) / kSectorSize> seen_;
};

// Sums a program's chain from its first sector; the load address comes from
// the first sector's bytes 2 and 3 and is not part of the sum.
void WalkChain(InputFile& in, ReportWriter& reports, std::uint8_t track, std::uint8_t sector, EntryReport& report) {
  VisitedSectors visited;
  std::uint32_t sum = 0;
  std::uint64_t size = 0;
  bool first = true;
  for (;;) {
    const std::uint64_t position = SectorPosition(track, sector);
    // A chain that comes back on itself has no end and no true sum.
    if (!visited.Visit(position)) {
      FailRun(kReadFailure);
    }
    in.SeekTo(position);
    const std::uint8_t nextTrack = in.ReadByte();
    const std::uint8_t nextSector = in.ReadByte();
    const std::uint64_t last = nextTrack != 0 ? 255 : nextSector;
    std::uint64_t begin = 2;
    if (first) {
      report.loadAddress = in.ReadWord();
      reports.BeginProgram(in, report.loadAddress);
      begin = 4;
      first = false;
    }
    if (last >= begin) {
      sum += in.SumBytes(last - begin + 1);
      size += last - begin + 1;
    }
    if (nextTrack == 0) {
      break;
    }
    track = nextTrack;
    sector = nextSector;
  }
  report.rawCrc = static_cast<std::int32_t>(sum);
  report.size = size;
}

}  // namespace

void ReadD64(InputFile& in, ReportWriter& reports, const ContainerNames& names) {
  EntryReport report;
  report.pcFileName = names.pcFileName;
  in.SeekTo(kDiskNameOffset);
  const std::string diskName = in.ReadText(kNameLength);
  report.imageNameHex = ToHex(diskName);
  report.imageName = ToPrintable(diskName);

  VisitedSectors walked;
  std::uint64_t position = SectorPosition(18, 1);
  walked.Visit(position);
  for (;;) {
    std::uint8_t nextTrack = 0;
    std::uint8_t nextSector = 0;
    for (int i = 0; i < kEntriesPerSector; ++i) {
      in.SeekTo(position + kEntrySize * static_cast<std::uint64_t>(i));
      const std::uint8_t linkTrack = in.ReadByte();
      const std::uint8_t linkSector = in.ReadByte();
      if (i == 0) {
        nextTrack = linkTrack;
        nextSector = linkSector;
      }
      const std::uint8_t fileType = in.ReadByte();
      const std::uint8_t firstTrack = in.ReadByte();
      const std::uint8_t firstSector = in.ReadByte();
      const std::string rawName = in.ReadText(kNameLength);
      // A program whose first track is 0 holds no sector (directory art,
      // placeholders): there is nothing to report.
      if (fileType != kClosedProgram || firstTrack == 0) {
        continue;
      }
      report.entryNameHex = ToHex(rawName);
      report.entryName = ToPrintable(rawName);
      WalkChain(in, reports, firstTrack, firstSector, report);
      reports.WriteEntryReport(report, Container::kD64);
    }
    // Track 0 ends the directory, whatever the sector; so does a link back
    // to a directory sector already walked.
    if (nextTrack == 0) {
      return;
    }
    position = SectorPosition(nextTrack, nextSector);
    if (!walked.Visit(position)) {
      return;
    }
  }
}

}  // namespace zumtal
