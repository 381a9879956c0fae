// Disk images (D64, D71, D81): the directory from its first sector, and each
// closed program's chain of sectors.
#include <string>
#include <vector>

#include "base/run_failure.h"
#include "readers/disk_walk.h"
#include "readers/names.h"

namespace zumtal {

namespace {

constexpr std::size_t kNameLength = 16;
constexpr std::uint8_t kClosedProgram = 130;
constexpr int kEntriesPerSector = 8;
constexpr std::uint64_t kEntrySize = 32;
// A directory entry's bytes up to the end of its name.
constexpr std::uint64_t kEntryBytes = 5 + kNameLength;

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

std::string Place(std::uint8_t track, std::uint8_t sector) {
  return "(track " + std::to_string(track) + " sector " + std::to_string(sector) + ")";
}

std::string BeyondTheEnd(const InputFile& in) {
  return "lies beyond the end of the file (" + std::to_string(in.FileLength()) + " bytes)";
}

std::string PastLastTrack(std::uint8_t track, const DiskFormat& format) {
  return "track " + std::to_string(track) + ", past the last track (" + std::to_string(format.lastTrack) + ")";
}

// What the walk says of a sector that cannot be had, after "sector N" or
// "directory sector": the sector that links to it is `from`.
std::string Unavailable(SectorState state, std::uint8_t track, std::uint8_t sector, const DiskFormat& format) {
  switch (state) {
    case SectorState::kPastLastTrack:
      return "links to " + PastLastTrack(track, format);
    case SectorState::kNotOnDisk:
      return Place(track, sector) + " is not on the disk";
    case SectorState::kNoGoodCopy:
    case SectorState::kFound:
      break;
  }
  return Place(track, sector) + " has no good copy";
}

// The chain walk: a program's sectors in link order, counted from 1.
class ChainWalk {
 public:
  ChainWalk(InputFile& in, SectorLocator& locator, const DiskFormat& format, ProgramSink& sink)
      : in_(in), locator_(locator), format_(format), sink_(sink), visited_(format.SectorPlaces()) {}

  // Sums a program's chain from its first sector; the load address comes
  // from the first sector's bytes 2 and 3 and is not part of the sum.
  void Walk(std::uint8_t track, std::uint8_t sector, EntryReport& report) {
    visited_.Clear();
    std::uint32_t sum = 0;
    std::uint64_t size = 0;
    std::uint32_t marked = 0;
    for (std::uint64_t number = 1;; ++number) {
      std::uint64_t position = 0;
      if (const SectorState state = locator_.Locate(track, sector, position); state != SectorState::kFound) {
        // The first sector is named by the directory entry, the others by a link.
        if (state == SectorState::kPastLastTrack) {
          FailRead(number == 1 ? "sector 1 lies on " + PastLastTrack(track, format_)
                               : "sector " + std::to_string(number - 1) + " links to " + PastLastTrack(track, format_));
        }
        FailRead("sector " + std::to_string(number) + " " + Unavailable(state, track, sector, format_));
      }
      // A chain that comes back on itself has no end and no true sum.
      if (!visited_.Visit(position)) {
        FailRead("sector " + std::to_string(number) + " " + Place(track, sector) + " was read before");
      }
      marked += locator_.MarkedBad(position) ? 1u : 0u;
      const bool first = number == 1;
      Need(position, first ? 4 : 2, number, track, sector);
      in_.SeekTo(position);
      const std::uint8_t nextTrack = in_.ReadByte();
      const std::uint8_t nextSector = in_.ReadByte();
      const std::uint64_t last = nextTrack != 0 ? 255 : nextSector;
      std::uint64_t begin = 2;
      if (first) {
        report.loadAddress = in_.ReadWord();
        sink_.BeginProgram(in_, report.loadAddress);
        begin = 4;
      }
      if (last >= begin) {
        Need(position, last + 1, number, track, sector);
        sum += in_.SumBytes(last - begin + 1);
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
    report.sectorErrors = marked;
  }

 private:
  // The first `bytes` bytes of the sector at `position` lie within the file.
  void Need(std::uint64_t position, std::uint64_t bytes, std::uint64_t number, std::uint8_t track,
            std::uint8_t sector) const {
    if (position + bytes > in_.FileLength()) {
      FailRead("sector " + std::to_string(number) + " " + Place(track, sector) + " " + BeyondTheEnd(in_));
    }
  }

  InputFile& in_;
  SectorLocator& locator_;
  const DiskFormat& format_;
  ProgramSink& sink_;
  VisitedSectors visited_;
};

// A sector of the disk's own structure (its header, its directory), or the
// end of the walk with what is wrong with it.
std::uint64_t StructureSector(SectorLocator& locator, const DiskFormat& format, std::string_view what,
                              std::uint8_t track, std::uint8_t sector) {
  std::uint64_t position = 0;
  const SectorState state = locator.Locate(track, sector, position);
  if (state != SectorState::kFound) {
    FailRead(std::string(what) + " " + Unavailable(state, track, sector, format));
  }
  return position;
}

// A plain image: sectors lie in the file where the format's arithmetic puts
// them. Tracks outside the format's range have no place. An image of the
// usual or the largest number of tracks may be followed by one error byte
// per sector, in the sectors' order: the code the drive gave when the disk
// was copied, where 1 (and 0, as some tools write it) means no error.
class ImageLocator final : public SectorLocator {
 public:
  ImageLocator(InputFile& in, const DiskFormat& format) : in_(in), format_(format) {
    for (const int tracks : {format.usualTracks, format.lastTrack}) {
      const std::uint64_t plain = format.ImageSize(tracks);
      if (in.FileLength() == plain + plain / kSectorSize) {
        errorsAt_ = plain;
      }
    }
  }
  SectorState Locate(std::uint8_t track, std::uint8_t sector, std::uint64_t& position) override {
    if (track < 1 || track > format_.lastTrack) {
      return SectorState::kPastLastTrack;
    }
    position = format_.Position(track, sector);
    return SectorState::kFound;
  }
  bool MarkedBad(std::uint64_t position) override {
    if (errorsAt_ == 0 || position >= errorsAt_) {
      return false;
    }
    in_.SeekTo(errorsAt_ + position / kSectorSize);
    return in_.ReadByte() > 1;
  }

 private:
  InputFile& in_;
  const DiskFormat& format_;
  std::uint64_t errorsAt_ = 0;  // where the error bytes begin; 0 for none
};

void ReadImage(InputFile& in, ProgramSink& sink, const ContainerNames& names, const DiskFormat& format) {
  ImageLocator locator(in, format);
  WalkDisk(in, locator, format, sink, names);
}

}  // namespace

void WalkDisk(InputFile& in, SectorLocator& locator, const DiskFormat& format, ProgramSink& sink,
              const ContainerNames& names) {
  EntryReport report;
  report.pcFileName = names.pcFileName;
  const std::uint64_t header =
      StructureSector(locator, format, "header sector", format.headerTrack, format.headerSector);
  if (header + format.diskNameOffset + kNameLength > in.FileLength()) {
    FailRead("header sector " + Place(format.headerTrack, format.headerSector) + " " + BeyondTheEnd(in));
  }
  in.SeekTo(header + format.diskNameOffset);
  const std::string diskName = in.ReadText(kNameLength);
  report.imageNameHex = ToHex(diskName);
  report.imageName = ToPrintable(diskName);

  VisitedSectors walked(format.SectorPlaces());
  ChainWalk chain(in, locator, format, sink);
  std::uint8_t track = format.directoryTrack;
  std::uint8_t sector = format.directorySector;
  std::uint64_t position = StructureSector(locator, format, "directory sector", track, sector);
  walked.Visit(position);
  for (;;) {
    std::uint8_t nextTrack = 0;
    std::uint8_t nextSector = 0;
    // Entry by entry, so that a file cut inside a directory sector still
    // gives the reports of the entries before the cut.
    for (int i = 0; i < kEntriesPerSector; ++i) {
      const std::uint64_t entry = position + kEntrySize * static_cast<std::uint64_t>(i);
      if (entry + kEntryBytes > in.FileLength()) {
        FailRead("directory sector " + Place(track, sector) + " " + BeyondTheEnd(in));
      }
      in.SeekTo(entry);
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
      ReadProgram(sink, report, names.format, [&] { chain.Walk(firstTrack, firstSector, report); });
    }
    // Track 0 ends the directory, whatever the sector; so does a link back
    // to a directory sector already walked.
    if (nextTrack == 0) {
      return;
    }
    std::uint64_t next = 0;
    if (const SectorState state = locator.Locate(nextTrack, nextSector, next); state != SectorState::kFound) {
      FailRead("directory sector " + Place(track, sector) + " " +
               (state == SectorState::kPastLastTrack
                    ? "links to " + PastLastTrack(nextTrack, format)
                    : "links to " + Place(nextTrack, nextSector) + ", which " +
                          (state == SectorState::kNotOnDisk ? "is not on the disk" : "has no good copy")));
    }
    if (!walked.Visit(next)) {
      return;
    }
    position = next;
    track = nextTrack;
    sector = nextSector;
  }
}

void ReadD64(InputFile& in, ProgramSink& sink, const ContainerNames& names) { ReadImage(in, sink, names, kD64Format); }
void ReadD71(InputFile& in, ProgramSink& sink, const ContainerNames& names) { ReadImage(in, sink, names, kD71Format); }
void ReadD81(InputFile& in, ProgramSink& sink, const ContainerNames& names) { ReadImage(in, sink, names, kD81Format); }

}  // namespace zumtal
