// Zip archives: the end record, the central directory (ZIP64 included) and
// stored or deflated members.
#include <libdeflate.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
#include <string>

#include "base/run_failure.h"
#include "readers/archives.h"
#include "readers/inflate.h"

namespace zumtal {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kEndSize = 22;
constexpr std::uint64_t kLocatorSize = 20;
constexpr std::uint64_t kCentralSize = 46;
constexpr std::uint64_t kLocalSize = 30;
constexpr std::uint64_t kMaxComment = 65535;
// Larger than any one directory entry (46 bytes and three fields of at most
// 65,535 bytes).
constexpr std::uint64_t kDirectoryPiece = 1 << 20;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint32_t kEscape32 = 0xFFFFFFFF;
constexpr char kCrcDoesNotMatch[] = "CRC-32 does not match";

std::uint64_t ReadQuad(InputFile& in) {
  const std::uint64_t low = in.ReadLong();
  return low | static_cast<std::uint64_t>(in.ReadLong()) << 32;
}

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void Require(bool condition, const char* what) {
  if (!condition) {
    FailRead(what);
  }
}

// The stretch [offset, offset + size) lies within the file.
bool Within(const InputFile& in, std::uint64_t offset, std::uint64_t size) {
  return offset <= in.FileLength() && size <= in.FileLength() - offset;
}

struct Directory {
  std::uint64_t count = 0;
  std::uint64_t offset = 0;
};

// The end record is the last one whose comment reaches the end of the file;
// failing that, the last one at all (a file with bytes appended).
std::uint64_t FindEndRecord(InputFile& in) {
  const std::uint64_t length = in.FileLength();
  constexpr char kNoEnd[] = "no end of central directory record";
  Require(length >= kEndSize, kNoEnd);
  const std::uint64_t tailLength = std::min(length, kEndSize + kMaxComment);
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(tailLength));
  in.SeekTo(length - tailLength);
  in.ReadInto(tail.data(), tail.size());
  std::size_t fallback = tail.size();
  for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
    if (Get32(tail, at) != kEndSignature) {
      continue;
    }
    const std::size_t comment = tail[at + 20] | static_cast<std::size_t>(tail[at + 21]) << 8;
    if (at + kEndSize + comment == tail.size()) {
      return length - tailLength + at;
    }
    if (fallback == tail.size()) {
      fallback = at;
    }
  }
  Require(fallback != tail.size(), kNoEnd);
  return length - tailLength + fallback;
}

Directory FindDirectory(InputFile& in) {
  const std::uint64_t end = FindEndRecord(in);
  in.SeekTo(end + 10);
  Directory directory;
  directory.count = in.ReadWord();
  const std::uint32_t size = in.ReadLong();
  directory.offset = in.ReadLong();
  if (directory.count != 0xFFFF && size != kEscape32 && directory.offset != kEscape32) {
    return directory;
  }
  // ZIP64: the locator just before the end record points at the larger one.
  if (end < kLocatorSize) {
    return directory;
  }
  in.SeekTo(end - kLocatorSize);
  if (in.ReadLong() != kZip64LocatorSignature) {
    return directory;
  }
  in.SeekTo(end - kLocatorSize + 8);
  const std::uint64_t record = ReadQuad(in);
  Require(Within(in, record, 56), "ZIP64 end record beyond the end of the file");
  in.SeekTo(record);
  Require(in.ReadLong() == kZip64EndSignature, "damaged ZIP64 end record");
  in.SeekTo(record + 32);
  directory.count = ReadQuad(in);
  in.SeekTo(record + 48);
  directory.offset = ReadQuad(in);
  return directory;
}

// One whole-buffer decompressor per thread serves every member it extracts;
// nullptr when it could not be had.
libdeflate_decompressor* Decompressor() {
  struct Free {
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
  };
  thread_local const std::unique_ptr<libdeflate_decompressor, Free> decompressor(libdeflate_alloc_decompressor());
  return decompressor.get();
}

bool CrcMatches(const std::vector<std::uint8_t>& bytes, std::uint32_t crc) {
  return libdeflate_crc32(0, bytes.data(), bytes.size()) == crc;
}

// Inflates with zlib, a large step at a time, and says what is wrong with
// data that does not give `size` bytes of this CRC-32.
std::vector<std::uint8_t> InflateStreaming(InputFile& in, std::uint64_t compressedSize, std::uint64_t size,
                                           std::uint32_t crc) {
  std::vector<std::uint8_t> bytes;
  Require(Inflate(in, compressedSize, DeflateWrapping::kRaw, size, bytes), "more data than declared");
  Require(bytes.size() == size, "length does not match");
  Require(CrcMatches(bytes, crc), kCrcDoesNotMatch);
  return bytes;
}

// The deflated member data at the input's position, inflated into its
// declared size in one call by libdeflate (made for a whole buffer of known
// size) and checked against its CRC-32. The compressed bytes are read into
// memory first, up to kMaxMemberSize of them (more, and the member is
// inflated by zlib as it is read). Data that does not give exactly the
// declared bytes with the declared CRC-32 is inflated again by zlib, so that
// damage is named as the streaming inflate names it.
std::vector<std::uint8_t> InflateMember(InputFile& in, std::uint64_t compressedSize, std::uint64_t size,
                                        std::uint32_t crc) {
  libdeflate_decompressor* decompressor = Decompressor();
  if (compressedSize == 0 || compressedSize > kMaxMemberSize || decompressor == nullptr) {
    return InflateStreaming(in, compressedSize, size, crc);
  }
  std::vector<std::uint8_t> compressed(static_cast<std::size_t>(compressedSize));
  in.ReadInto(compressed.data(), compressed.size());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::uint8_t none = 0;  // somewhere to point for no bytes
  if (libdeflate_deflate_decompress(decompressor, compressed.data(), compressed.size(),
                                    bytes.empty() ? &none : bytes.data(), bytes.size(),
                                    nullptr) == LIBDEFLATE_SUCCESS &&
      CrcMatches(bytes, crc)) {
    return bytes;
  }
  InputFile memory{std::span<const std::uint8_t>(compressed)};
  return InflateStreaming(memory, compressedSize, size, crc);
}

}  // namespace

std::vector<std::uint8_t> ZipMember::Extract() const {
  Require(Within(in_, localHeader, kLocalSize), "local header beyond the end of the file");
  in_.SeekTo(localHeader);
  Require(in_.ReadLong() == kLocalSignature, "damaged local header");
  in_.SeekTo(localHeader + 26);
  const std::uint64_t nameLength = in_.ReadWord();
  const std::uint64_t extraLength = in_.ReadWord();
  const std::uint64_t data = localHeader + kLocalSize + nameLength + extraLength;
  Require(Within(in_, data, compressedSize), "member data beyond the end of the file");

  // Members that share their bytes multiply a small archive into endless
  // work: each stretch of the archive is read for one member only.
  const std::uint64_t end = data + compressedSize;
  const auto next = taken_.lower_bound(localHeader);
  Require((next == taken_.end() || next->first >= end) &&
              (next == taken_.begin() || std::prev(next)->second <= localHeader),
          "overlaps another member");
  taken_.emplace(localHeader, end);

  in_.SeekTo(data);
  std::vector<std::uint8_t> bytes;
  if (method == kStored) {
    Require(compressedSize == size, "length does not match");
    bytes.resize(static_cast<std::size_t>(size));
    in_.ReadInto(bytes.data(), bytes.size());
    Require(CrcMatches(bytes, crc), kCrcDoesNotMatch);
    return bytes;
  }
  return InflateMember(in_, compressedSize, size, crc);
}

namespace {

// One entry of the central directory.
struct CentralEntry {
  std::string name;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint64_t localHeader = 0;
  std::uint64_t length = 0;  // of the entry itself, in the directory
};

// The directory is read a large piece at a time into memory: reading the
// members in between moves the file's window elsewhere.
class DirectoryReader {
 public:
  explicit DirectoryReader(InputFile& in) : in_(in) {}

  CentralEntry Read(std::uint64_t position) {
    CentralEntry central;
    InputFile* fixed = &Cover(position, kCentralSize);
    Require(fixed->ReadLong() == kCentralSignature, "damaged central directory");
    fixed->SeekTo(position - pieceStart_ + 28);
    const std::uint64_t nameLength = fixed->ReadWord();
    const std::uint64_t extraLength = fixed->ReadWord();
    const std::uint64_t commentLength = fixed->ReadWord();
    InputFile& entry = Cover(position, kCentralSize + nameLength + extraLength + commentLength);
    const std::uint64_t base = position - pieceStart_;
    entry.SeekTo(base + 8);
    central.flags = entry.ReadWord();
    central.method = entry.ReadWord();
    entry.SeekTo(base + 16);
    central.crc = entry.ReadLong();
    central.compressedSize = entry.ReadLong();
    central.size = entry.ReadLong();
    entry.SeekTo(base + 42);
    central.localHeader = entry.ReadLong();
    central.name = entry.ReadText(static_cast<std::size_t>(nameLength));
    // The ZIP64 field holds, in this order, those of the three values that
    // the entry itself cannot.
    for (std::uint64_t field = base + kCentralSize + nameLength, fieldsEnd = field + extraLength;
         field + 4 <= fieldsEnd;) {
      entry.SeekTo(field);
      const std::uint16_t id = entry.ReadWord();
      const std::uint16_t length = entry.ReadWord();
      if (id == 0x0001) {
        std::uint64_t left = std::min<std::uint64_t>(length, fieldsEnd - field - 4);
        for (std::uint64_t* value : {&central.size, &central.compressedSize, &central.localHeader}) {
          if (*value == kEscape32 && left >= 8) {
            *value = ReadQuad(entry);
            left -= 8;
          }
        }
        break;
      }
      field += 4 + std::uint64_t{length};
    }
    central.length = kCentralSize + nameLength + extraLength + commentLength;
    return central;
  }

 private:
  InputFile& Cover(std::uint64_t position, std::uint64_t size) {
    constexpr char kBeyond[] = "central directory beyond the end of the file";
    Require(Within(in_, position, size), kBeyond);
    if (!piece_ || position < pieceStart_ || position + size > pieceStart_ + piece_->FileLength()) {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(kDirectoryPiece, in_.FileLength() - position)));
      in_.SeekTo(position);
      in_.ReadInto(bytes.data(), bytes.size());
      piece_ = std::make_unique<InputFile>(std::move(bytes));
      pieceStart_ = position;
    }
    piece_->SeekTo(position - pieceStart_);
    return *piece_;
  }

  InputFile& in_;
  std::unique_ptr<InputFile> piece_;
  std::uint64_t pieceStart_ = 0;
};

// Why a member is not extracted; empty when it is.
std::string Unextracted(const CentralEntry& entry) {
  if ((entry.flags & 1) != 0) {
    return "encrypted, skipped";
  }
  if (entry.method != kStored && entry.method != kDeflated) {
    return "compression method " + std::to_string(entry.method) + " not read, skipped";
  }
  if (entry.size > kMaxMemberSize) {
    return kTooLarge;
  }
  return {};
}

ZipMember MakeMember(InputFile& in, std::map<std::uint64_t, std::uint64_t>& taken, const CentralEntry& entry) {
  ZipMember member(in, taken);
  member.localHeader = entry.localHeader;
  member.compressedSize = entry.compressedSize;
  member.size = entry.size;
  member.method = entry.method;
  member.crc = entry.crc;
  return member;
}

// The indexed members: those the reading has passed, and, the first time a
// name is not among them, all the rest, read ahead once. The members it
// extracts have their own stretches, apart from the reading's: each stretch
// is extracted at most once by each.
class Index final : public ZipIndex {
 public:
  Index(InputFile& in, ZipVisitor& visitor, const Directory& directory)
      : in_(in), visitor_(visitor), count_(directory.count), nextPosition_(directory.offset) {}

  // An entry passed by the reading, which goes on at `next`.
  void Passed(const CentralEntry& entry, std::uint64_t index, std::uint64_t next) {
    Add(entry);
    nextIndex_ = index + 1;
    nextPosition_ = next;
  }

  bool Has(std::string_view name) override { return Find(name) != nullptr; }

  bool Extract(std::string_view name, std::vector<std::uint8_t>& bytes) override {
    const CentralEntry* entry = Find(name);
    if (entry == nullptr || !Unextracted(*entry).empty()) {
      return false;
    }
    try {
      bytes = MakeMember(in_, taken_, *entry).Extract();
    } catch (const RunFailure& failure) {
      if (!failure.IsReadFailure()) {
        throw;
      }
      return false;
    }
    return true;
  }

 private:
  void Add(const CentralEntry& entry) {
    if (visitor_.Indexes(entry.name)) {
      entries_.emplace(entry.name, entry);
    }
  }

  const CentralEntry* Find(std::string_view name) {
    auto found = entries_.find(name);
    if (found == entries_.end() && !readAhead_) {
      ReadAhead();
      found = entries_.find(name);
    }
    return found == entries_.end() ? nullptr : &found->second;
  }

  // Up to the end of the directory or its first damage, which the reading
  // names when it comes to it.
  void ReadAhead() {
    readAhead_ = true;
    DirectoryReader directory(in_);
    try {
      for (std::uint64_t index = nextIndex_, position = nextPosition_; index < count_; ++index) {
        const CentralEntry entry = directory.Read(position);
        Add(entry);
        position += entry.length;
      }
    } catch (const RunFailure& failure) {
      if (!failure.IsReadFailure()) {
        throw;
      }
    }
  }

  InputFile& in_;
  ZipVisitor& visitor_;
  std::uint64_t count_;
  std::uint64_t nextPosition_;
  std::uint64_t nextIndex_ = 0;
  bool readAhead_ = false;
  std::map<std::string, CentralEntry, std::less<>> entries_;
  std::map<std::uint64_t, std::uint64_t> taken_;
};

}  // namespace

void ReadZip(InputFile& in, ZipVisitor& visitor) {
  const Directory directory = FindDirectory(in);
  std::map<std::uint64_t, std::uint64_t> taken;
  DirectoryReader reader(in);
  Index index(in, visitor, directory);
  visitor.Begin(index);
  std::uint64_t position = directory.offset;
  for (std::uint64_t number = 0; number < directory.count; ++number) {
    const CentralEntry entry = reader.Read(position);
    position += entry.length;
    index.Passed(entry, number, position);
    if (!visitor.Wants(entry.name)) {
      continue;
    }
    if (const std::string why = Unextracted(entry); !why.empty()) {
      visitor.Skip(entry.name, why);
    } else {
      visitor.Member(entry.name, MakeMember(in, taken, entry));
    }
  }
}

}  // namespace zumtal
