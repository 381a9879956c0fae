// NIB track table and on-demand track decoding.
#include "readers/nib_image.h"

#include <cstring>
#include <string_view>

#include "readers/gcr.h"

namespace zumtal {

namespace {

constexpr std::string_view kSignature = "MNIB-1541-RAW";
constexpr std::uint64_t kTableAt = 16;

static_assert(kG64Format.sectorsPerTrack[1] <= 32, "a track's good sectors are kept in 32 bits");

}  // namespace

bool HasNibSignature(InputFile& file) {
  if (file.FileLength() < kSignature.size()) {
    return false;
  }
  file.SeekTo(0);
  return file.ReadText(kSignature.size()) == kSignature;
}

NibImage::NibImage(InputFile& file)
    : file_(file), image_(static_cast<std::size_t>(kG64Format.ImageSize(kG64Format.lastTrack))) {
  // An entry whose data does not fit in the file is the last that could:
  // the data of the entries after it lies further on.
  for (std::uint64_t entry = 0; kTableAt + 2 * entry < kNibHeaderSize; ++entry) {
    const std::uint64_t dataAt = kNibHeaderSize + kNibTrackSize * entry;
    if (file_.FileLength() < dataAt + kNibTrackSize) {
      break;
    }
    file_.SeekTo(kTableAt + 2 * entry);
    const std::uint8_t halfTrack = file_.ReadByte();
    if (halfTrack == 0) {
      break;
    }
    const int track = halfTrack / 2;
    if (halfTrack % 2 == 0 && track <= kG64Format.lastTrack && dataAt_[Index(track)] == 0) {
      dataAt_[Index(track)] = dataAt;
    }
  }
}

SectorPlace NibImage::Locate(std::uint8_t track, std::uint8_t sector) {
  if (!HasTrack(track) || sector >= kG64Format.sectorsPerTrack[track]) {
    return {SectorState::kNotOnDisk, 0};
  }
  if (!decoded_[track]) {
    decoded_[track] = true;
    Decode(track);
  }
  if ((good_[track] >> sector & 1) == 0) {
    return {SectorState::kNoGoodCopy, 0};
  }
  return {SectorState::kFound, kG64Format.Position(track, sector)};
}

void NibImage::Decode(std::uint8_t track) {
  stream_.resize(kNibTrackSize);
  file_.SeekTo(dataAt_[track]);
  file_.ReadInto(stream_.data(), stream_.size());
  const GcrTrack sectors = DecodeGcrTrack(stream_.data(), stream_.size(), track, GcrStream::kLine);
  for (std::uint8_t s = 0; s < kG64Format.sectorsPerTrack[track]; ++s) {
    if (const std::uint8_t* bytes = sectors.Sector(s)) {
      std::memcpy(image_.data() + kG64Format.Position(track, s), bytes, kSectorSize);
      good_[track] |= std::uint32_t{1} << s;
    }
  }
}

}  // namespace zumtal
