// Disk images (D64, D71, D81): the directory from its first sector, and each
// closed program's chain of sectors.
#include <vector>

#include "driver/run_failure.h"
#include "readers/disk_walk.h"
#include "readers/names.h"

namespace zumtal {

namespace {

constexpr std::size_t kNameLength = 16;
constexpr std::uint8_t kClosedProgram = 130;
constexpr int kEntriesPerSector = 8;
constexpr std::uint64_t kEntrySize = 32;

// Sector places already walked, by position.
class VisitedSectors {
 public:
  explicit VisitedSectors(std::size_t places) : seen_(places, false) {}

  // False when the position was visited before.
  bool Visit(std::uint64_t position) {
    const auto index = static_cast<std::size_t>(position / kSectorSize);
    if (seen_[index]) {
      return false;
    }
    seen_[index] = true;
    return true;
  }
  void Clear() { seen_.assign(seen_.size(), false); }

 private:
  std::vector<bool> seen_;
};

// Sums a program's chain from its first sector; the load address comes from
// the first sector's bytes 2 and 3 and is not part of the sum.
void WalkChain(InputFile& in, SectorLocator& locator, ReportWriter& reports, std::uint8_t track, std::uint8_t sector,
               VisitedSectors& visited, EntryReport& report) {
  visited.Clear();
  std::uint32_t sum = 0;
  std::uint64_t size = 0;
  bool first = true;
  for (;;) {
    const std::uint64_t position = locator.Locate(track, sector);
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

// A plain image: sectors lie in the file where the format's arithmetic puts
// them. Tracks outside the format's range have no place: such a sector
// cannot be read, so the run ends as for a sector beyond the end of the file.
class ImageLocator final : public SectorLocator {
 public:
  explicit ImageLocator(const DiskFormat& format) : format_(format) {}
  std::uint64_t Locate(std::uint8_t track, std::uint8_t sector) override {
    if (track < 1 || track > format_.lastTrack) {
      FailRun(kReadFailure);
    }
    return format_.Position(track, sector);
  }

 private:
  const DiskFormat& format_;
};

}  // namespace

void WalkDisk(InputFile& in, SectorLocator& locator, const DiskFormat& format, ReportWriter& reports,
              const ContainerNames& names) {
  EntryReport report;
  report.pcFileName = names.pcFileName;
  in.SeekTo(locator.Locate(format.headerTrack, format.headerSector) + format.diskNameOffset);
  const std::string diskName = in.ReadText(kNameLength);
  report.imageNameHex = ToHex(diskName);
  report.imageName = ToPrintable(diskName);

  VisitedSectors walked(format.SectorPlaces());
  VisitedSectors chain(format.SectorPlaces());
  std::uint64_t position = locator.Locate(format.directoryTrack, format.directorySector);
  walked.Visit(position);
  for (;;) {
    std::uint8_t nextTrack = 0;
    std::uint8_t nextSector = 0;
    // Entry by entry, so that a file cut inside a directory sector still
    // gives the reports of the entries before the cut.
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
      // Only closed programs are listed: sequential and relative files,
      // partitions and the like are passed over. A program whose first
      // track is 0 holds no sector (directory art, placeholders).
      if (fileType != kClosedProgram || firstTrack == 0) {
        continue;
      }
      report.entryNameHex = ToHex(rawName);
      report.entryName = ToPrintable(rawName);
      WalkChain(in, locator, reports, firstTrack, firstSector, chain, report);
      reports.WriteEntryReport(report, format.container);
    }
    // Track 0 ends the directory, whatever the sector; so does a link back
    // to a directory sector already walked.
    if (nextTrack == 0) {
      return;
    }
    position = locator.Locate(nextTrack, nextSector);
    if (!walked.Visit(position)) {
      return;
    }
  }
}

void ReadD64(InputFile& in, ReportWriter& reports, const ContainerNames& names) {
  ImageLocator locator(kD64Format);
  WalkDisk(in, locator, kD64Format, reports, names);
}

void ReadD71(InputFile& in, ReportWriter& reports, const ContainerNames& names) {
  ImageLocator locator(kD71Format);
  WalkDisk(in, locator, kD71Format, reports, names);
}

void ReadD81(InputFile& in, ReportWriter& reports, const ContainerNames& names) {
  ImageLocator locator(kD81Format);
  WalkDisk(in, locator, kD81Format, reports, names);
}

}  // namespace zumtal
