// Zipcode parts, record by record.
#include "readers/zipcode.h"

#include <algorithm>

namespace zumtal {

namespace {

constexpr std::uint8_t kTrackBits = 0x3F;
constexpr std::uint8_t kFilled = 0x40;
constexpr std::uint8_t kPacked = 0x80;

static_assert(kD64Format.sectorsPerTrack[1] <= 32, "a track's sectors are kept in 32 bits");

// The file's bytes in order, each read only when the file holds it.
class Records {
 public:
  explicit Records(InputFile& file) : file_(file), length_(file.FileLength()) { file_.SeekTo(0); }

  std::uint64_t Offset() const { return at_; }
  bool Has(std::uint64_t count) const { return length_ - at_ >= count; }
  // Only when Has(1).
  std::uint8_t Byte() {
    ++at_;
    return file_.ReadByte();
  }
  void Skip(std::uint64_t count) {
    at_ += count;
    file_.SeekTo(at_);
  }
  // Only when Has(count).
  void Into(std::uint8_t* bytes, std::size_t count) {
    at_ += count;
    file_.ReadInto(bytes, count);
  }

 private:
  InputFile& file_;
  std::uint64_t length_;
  std::uint64_t at_ = 0;
};

// Unpacks `count` packed bytes into a sector; false unless they make exactly
// 256 bytes.
bool Unpack(const std::uint8_t* packed, std::size_t count, std::uint8_t escape, std::uint8_t* sector) {
  std::size_t made = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (packed[i] != escape) {
      if (made == kSectorSize) {
        return false;
      }
      sector[made++] = packed[i];
      continue;
    }
    if (count - i < 3) {
      return false;
    }
    const std::size_t run = packed[i + 1];
    if (run > kSectorSize - made) {
      return false;
    }
    std::fill_n(sector + made, run, packed[i + 2]);
    made += run;
    i += 2;
  }
  return made == kSectorSize;
}

}  // namespace

int ZipcodeFileNumber(std::string_view name) {
  if (name.size() < 6 || name[0] < '1' || name[0] > '4' || name[1] != '!') {
    return 0;
  }
  const std::string_view extension = name.substr(name.size() - 4);
  if (extension[0] != '.' || (extension[1] != 'z' && extension[1] != 'Z') || extension.substr(2) != "64") {
    return 0;
  }
  return name[0] - '0';
}

std::string ZipcodeSiblingName(std::string_view name, int part) {
  std::string sibling(name);
  sibling[0] = static_cast<char>('0' + part);
  return sibling;
}

ZipcodeDisk::ZipcodeDisk() : image_(static_cast<std::size_t>(kD64Format.ImageSize(kZipcodeTracks))) {}

ZipcodeFileResult ZipcodeDisk::AddFile(InputFile& file, int part) {
  const ZipcodeTrackRange tracks = ZipcodeTracks(part);
  std::uint64_t at = 0;
  const bool good = Decode(file, part, at);
  if (!good) {
    std::fill(present_.begin() + tracks.first, present_.begin() + tracks.last + 1, 0u);
  }
  return {!good, good ? 0 : at};
}

bool ZipcodeDisk::Decode(InputFile& file, int part, std::uint64_t& at) {
  const ZipcodeTrackRange tracks = ZipcodeTracks(part);
  std::fill(present_.begin() + tracks.first, present_.begin() + tracks.last + 1, 0u);
  Records records(file);
  const std::uint64_t header = part == 1 ? 4 : 2;
  if (!records.Has(header)) {
    return false;
  }
  records.Skip(header);
  std::uint8_t packed[255];
  for (int track = tracks.first; track <= tracks.last;) {
    const auto t = static_cast<std::size_t>(track);
    at = records.Offset();
    if (!records.Has(3)) {
      return false;
    }
    const std::uint8_t trackByte = records.Byte();
    const std::uint8_t sector = records.Byte();
    const std::uint8_t kind = trackByte & (kFilled | kPacked);
    if ((trackByte & kTrackBits) != track || sector >= kD64Format.sectorsPerTrack[t] ||
        (present_[t] >> sector & 1) != 0 || kind == (kFilled | kPacked)) {
      return false;
    }
    std::uint8_t* bytes = image_.data() + kD64Format.Position(track, sector);
    if (kind == 0) {
      if (!records.Has(kSectorSize)) {
        return false;
      }
      records.Into(bytes, kSectorSize);
    } else if (kind == kFilled) {
      std::fill_n(bytes, kSectorSize, records.Byte());
    } else {
      if (!records.Has(2)) {
        return false;
      }
      const std::uint8_t count = records.Byte();
      const std::uint8_t escape = records.Byte();
      if (!records.Has(count)) {
        return false;
      }
      records.Into(packed, count);
      if (!Unpack(packed, count, escape, bytes)) {
        return false;
      }
    }
    present_[t] |= std::uint32_t{1} << sector;
    if (present_[t] == (std::uint32_t{1} << kD64Format.sectorsPerTrack[t]) - 1) {
      ++track;
    }
  }
  return true;
}

}  // namespace zumtal
