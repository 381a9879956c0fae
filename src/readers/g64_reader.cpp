// G64 images: a 1541 disk as the drive's GCR bit stream, track by track.
// The directory walk reads a plain image of the disk's sectors in memory;
// each track's sectors are decoded into it the first time the walk needs one
// of them, so only the tracks that the directory and the chains touch are
// ever decoded, and each at most once.
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "readers/disk_walk.h"
#include "readers/gcr.h"

namespace zumtal {

namespace {

// The header: signature (8 bytes), version, number of track entries, the
// largest track size (2 bytes), then one 4-byte offset per entry.
constexpr std::uint64_t kEntryCountAt = 9;
constexpr std::uint64_t kOffsetsAt = 12;

class G64Locator final : public SectorLocator {
 public:
  explicit G64Locator(InputFile& file)
      : file_(file), image_(static_cast<std::size_t>(kG64Format.ImageSize(kG64Format.lastTrack))) {
    file_.SeekTo(kEntryCountAt);
    entries_ = file_.ReadByte();
  }

  // The decoded sectors, at the places that kG64Format gives them.
  std::span<const std::uint8_t> Image() const { return image_; }

  // A sector number past the track's count is not on the disk: the stream
  // has no "further on".
  SectorState Locate(std::uint8_t track, std::uint8_t sector, std::uint64_t& position) override {
    if (track < 1 || track > kG64Format.lastTrack) {
      return SectorState::kPastLastTrack;
    }
    if (!decoded_[track]) {
      decoded_[track] = true;
      present_[track] = Decode(track);
    }
    if (!present_[track] || sector >= kG64Format.sectorsPerTrack[track]) {
      return SectorState::kNotOnDisk;
    }
    if ((good_[track] >> sector & 1) == 0) {
      return SectorState::kNoGoodCopy;
    }
    position = kG64Format.Position(track, sector);
    return SectorState::kFound;
  }

 private:
  // Entry 2(t - 1) is full track t; the half tracks between are passed over.
  // An entry past the header's count or the end of the file, offset 0, or a
  // stream that the file does not wholly hold is an absent track. The
  // header's largest track size is not consulted: each track's own 2-byte
  // length says how much of the file holds its stream. False for an absent
  // track.
  bool Decode(std::uint8_t track) {
    const std::uint64_t entry = 2 * (track - 1u);
    const std::uint64_t length = file_.FileLength();
    if (entry >= entries_ || kOffsetsAt + 4 * entry + 4 > length) {
      return false;
    }
    file_.SeekTo(kOffsetsAt + 4 * entry);
    const std::uint64_t offset = file_.ReadLong();
    if (offset == 0 || offset + 2 > length) {
      return false;
    }
    file_.SeekTo(offset);
    const std::size_t size = file_.ReadWord();
    if (offset + 2 + size > length) {
      return false;
    }
    stream_.resize(size);
    file_.ReadInto(stream_.data(), size);
    const GcrTrack sectors = DecodeGcrTrack(stream_.data(), size, track);
    for (std::uint8_t s = 0; s < kG64Format.sectorsPerTrack[track]; ++s) {
      if (const std::uint8_t* bytes = sectors.Sector(s)) {
        std::memcpy(image_.data() + kG64Format.Position(track, s), bytes, kSectorSize);
        good_[track] |= std::uint32_t{1} << s;
      }
    }
    return true;
  }

  InputFile& file_;
  std::uint8_t entries_ = 0;
  std::vector<std::uint8_t> image_;
  std::vector<std::uint8_t> stream_;
  std::array<bool, kG64Format.lastTrack + 1> decoded_{};
  std::array<bool, kG64Format.lastTrack + 1> present_{};
  std::array<std::uint32_t, kG64Format.lastTrack + 1> good_{};  // one bit per sector with a good copy
};

static_assert(kG64Format.sectorsPerTrack[1] <= 32, "a track's good sectors are kept in 32 bits");

}  // namespace

void ReadG64(InputFile& in, ProgramSink& sink, const ContainerNames& names) {
  G64Locator locator(in);
  InputFile image(locator.Image());
  WalkDisk(image, locator, kG64Format, sink, names);
}

}  // namespace zumtal
