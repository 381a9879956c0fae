// Builders of C64 container images in memory: the benchmark's synthetic
// collection, the examples, the fuzzers' seeds and the tests' images.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "readers/disk_format.h"

namespace zumtal::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The parts one after another.
inline Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

// A PRG file of these data bytes, loaded at $0801.
inline Bytes PrgFile(std::string_view data) { return ToBytes("\x01\x08" + std::string(data)); }

// A name padded with $A0 to 16 bytes, as the disk drive stores it.
inline std::string PaddedName(std::string_view name, std::size_t length = 16) {
  std::string padded(name.substr(0, length));
  padded.resize(length, '\xA0');
  return padded;
}

inline std::uint32_t Sum(const Bytes& bytes, std::size_t from = 0) {
  std::uint32_t sum = 0;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    sum += bytes[i];
  }
  return sum;
}

// A program as a PRG file holds it: load address, then data.
inline Bytes Program(std::uint16_t load, std::size_t dataSize, std::uint32_t seed = 1) {
  Bytes bytes{static_cast<std::uint8_t>(load & 0xFF), static_cast<std::uint8_t>(load >> 8)};
  for (std::size_t i = 0; i < dataSize; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<std::uint8_t>(seed >> 16));
  }
  return bytes;
}

// A disk image of any format of the family, laid out as its drive lays out
// a freshly formatted disk: the header sector (and, on a 1581, the two
// sectors after it) reserved, the directory growing along its track.
class DiskBuilder {
 public:
  using Sector = std::pair<int, int>;

  // A formatted blank disk of `tracks` tracks (0: the format's usual count)
  // with an empty directory.
  explicit DiskBuilder(const DiskFormat& format = kD64Format, int tracks = 0, bool errorBytes = false)
      : format_(&format),
        tracks_(tracks != 0 ? tracks : format.usualTracks),
        image_(static_cast<std::size_t>(format.ImageSize(tracks_) + (errorBytes ? format.ImageSize(tracks_) / 256 : 0)),
               0),
        used_(static_cast<std::size_t>(format.ImageSize(tracks_) / 256), false) {
    Link(Header(), Directory(0));
    SetDiskName("BLANK");
    Link(Directory(0), {0, 255});
    for (int s = format.headerSector; s <= format.directorySector; ++s) {
      used_[Index({format.headerTrack, s})] = true;
    }
  }

  const DiskFormat& format() const { return *format_; }
  Bytes& bytes() { return image_; }
  int tracks() const { return tracks_; }
  int SectorsOf(int track) const { return format_->sectorsPerTrack[static_cast<std::size_t>(track)]; }
  Sector Header() const { return {format_->headerTrack, format_->headerSector}; }
  // The directory's sector `index`, counted from its first.
  Sector Directory(int index) const { return {format_->directoryTrack, format_->directorySector + index}; }
  std::size_t Position(Sector sector) const {
    return static_cast<std::size_t>(format_->Position(sector.first, sector.second));
  }
  std::uint8_t* At(Sector sector) { return image_.data() + Position(sector); }

  void SetDiskName(std::string_view name) {
    std::memcpy(At(Header()) + format_->diskNameOffset, PaddedName(name).data(), 16);
  }
  void Link(Sector from, Sector to) {
    At(from)[0] = static_cast<std::uint8_t>(to.first);
    At(from)[1] = static_cast<std::uint8_t>(to.second);
  }

  // Directory entry `index` (0 to 7) of a directory sector. The name is
  // stored as given when it has 16 bytes, else padded with $A0.
  void PutEntry(Sector directory, int index, std::uint8_t type, Sector first, std::string_view name) {
    std::uint8_t* entry = At(directory) + 32 * index;
    entry[2] = type;
    entry[3] = static_cast<std::uint8_t>(first.first);
    entry[4] = static_cast<std::uint8_t>(first.second);
    std::memcpy(entry + 5, PaddedName(name).data(), 16);
  }

  // Stores a program (load address and data) along the given sectors, which
  // must be enough.
  void WriteChain(const std::vector<Sector>& sectors, const Bytes& program) {
    std::size_t done = 0;
    for (std::size_t i = 0; i < sectors.size(); ++i) {
      const std::size_t take = std::min<std::size_t>(254, program.size() - done);
      std::memcpy(At(sectors[i]) + 2, program.data() + done, take);
      done += take;
      if (done == program.size()) {
        Link(sectors[i], {0, static_cast<int>(take + 1)});
        return;
      }
      Link(sectors[i], sectors[i + 1]);
    }
  }

  // The entries the directory track holds.
  int DirectoryCapacity() const { return 8 * (SectorsOf(format_->directoryTrack) - format_->directorySector); }

  // Stores a program on free sectors, `interleave` apart on a track, and
  // lists it in the directory. False when the disk or the directory is full.
  bool AddProgram(std::string_view name, const Bytes& program, int interleave = 10, std::uint8_t type = 130) {
    const std::size_t count = program.size() <= 254 ? 1 : (program.size() + 253) / 254;
    std::vector<Sector> sectors;
    std::vector<bool> taken = used_;
    for (int track = 1; track <= tracks_ && sectors.size() < count; ++track) {
      if (track == format_->directoryTrack) {
        continue;
      }
      const int perTrack = SectorsOf(track);
      int s = 0;
      for (int placed = 0; placed < perTrack && sectors.size() < count; ++placed) {
        int tries = 0;
        while (taken[Index({track, s})] && tries++ < perTrack) {
          s = (s + 1) % perTrack;
        }
        if (taken[Index({track, s})]) {
          break;
        }
        taken[Index({track, s})] = true;
        sectors.push_back({track, s});
        s = (s + interleave) % perTrack;
      }
    }
    const int sectorIndex = entries_ / 8;
    if (sectors.size() < count || entries_ >= DirectoryCapacity()) {
      return false;
    }
    const Sector directory = Directory(sectorIndex);
    if (entries_ % 8 == 0 && sectorIndex > 0) {
      Link(Directory(sectorIndex - 1), directory);
      Link(directory, {0, 255});
      taken[Index(directory)] = true;
    }
    used_ = std::move(taken);
    WriteChain(sectors, program);
    PutEntry(directory, entries_ % 8, type, sectors.front(), name);
    ++entries_;
    return true;
  }

 private:
  std::size_t Index(Sector sector) const { return Position(sector) / 256; }

  const DiskFormat* format_;
  int tracks_;
  Bytes image_;
  std::vector<bool> used_;
  int entries_ = 0;
};

class T64Builder {
 public:
  // A header for `capacity` entries, with the used count set as entries are
  // added; the tape name is padded with blanks to 24 bytes.
  explicit T64Builder(std::string_view tapeName, int capacity = 30)
      : image_(64 + 32 * static_cast<std::size_t>(capacity), 0) {
    std::memcpy(image_.data(), "C64S tape image file", 20);
    image_[32] = 0x00;
    image_[33] = 0x01;
    image_[34] = static_cast<std::uint8_t>(capacity);
    image_[35] = static_cast<std::uint8_t>(capacity >> 8);
    std::string name(tapeName.substr(0, 24));
    name.resize(24, ' ');
    std::memcpy(image_.data() + 40, name.data(), 24);
  }

  Bytes& bytes() { return image_; }
  std::size_t EntryPosition(int number) const { return 32 * static_cast<std::size_t>(number) + 32; }

  void SetCount(std::uint16_t count) {
    image_[36] = static_cast<std::uint8_t>(count);
    image_[37] = static_cast<std::uint8_t>(count >> 8);
  }

  // Writes entry `number` (from 1) in full.
  void PutEntry(int number, std::uint16_t start, std::uint16_t end, std::uint32_t offset, std::string_view name) {
    std::uint8_t* entry = image_.data() + EntryPosition(number);
    entry[0] = 1;
    entry[1] = 0x82;
    Put16(entry + 2, start);
    Put16(entry + 4, end);
    Put16(entry + 8, static_cast<std::uint16_t>(offset));
    Put16(entry + 10, static_cast<std::uint16_t>(offset >> 16));
    std::string padded(name.substr(0, 16));
    padded.resize(16, ' ');
    std::memcpy(entry + 16, padded.data(), 16);
  }

  // Appends a program's data at the end of the file and lists it as the
  // next entry.
  void AddProgram(std::string_view name, const Bytes& program) {
    const auto offset = static_cast<std::uint32_t>(image_.size());
    const std::uint16_t start = static_cast<std::uint16_t>(program[0] | program[1] << 8);
    const auto end = static_cast<std::uint16_t>(start + program.size() - 2);
    image_.insert(image_.end(), program.begin() + 2, program.end());
    PutEntry(++count_, start, end, offset, name);
    SetCount(static_cast<std::uint16_t>(count_));
  }

 private:
  static void Put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
  }

  Bytes image_;
  int count_ = 0;
};

// A PC64 file: its signature, the C64 file's name (16 bytes, padded with zero
// bytes when shorter), a zero byte, the REL record size, then the data.
inline Bytes P00File(std::string_view name, const Bytes& data, std::uint8_t recordSize = 0) {
  Bytes bytes = ToBytes(std::string_view("C64File\0", 8));
  std::string padded(name.substr(0, 16));
  padded.resize(16, '\0');
  bytes.insert(bytes.end(), padded.begin(), padded.end());
  bytes.push_back(0);
  bytes.push_back(recordSize);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

// A Lynx archive. Tests that damage one take its directory lines, change
// them and build the archive from the changed lines.
class LynxBuilder {
 public:
  struct File {
    std::string name;
    char type;
    Bytes data;  // for a program: load address, then data
    int recordLength;
  };

  explicit LynxBuilder(std::string signature = "*LYNX XV  BUILDER") : signature_(std::move(signature)) {}

  // A name shorter than 16 bytes is padded with $A0.
  void Add(std::string_view name, char type, Bytes data, int recordLength = 0) {
    files_.push_back({std::string(name), type, std::move(data), recordLength});
  }

  static std::size_t Blocks(const File& file) { return std::max<std::size_t>(1, (file.data.size() + 253) / 254); }

  // The directory lines without their carriage returns.
  std::vector<std::string> Lines(std::size_t directoryBlocks) const {
    std::vector<std::string> lines{Number(directoryBlocks), Number(files_.size())};
    lines.front().append(" ").append(signature_);
    for (const File& file : files_) {
      std::string name = file.name;
      if (name.size() < 16) {
        name.resize(16, '\xA0');
      }
      lines.push_back(name);
      lines.push_back(Number(Blocks(file)));
      lines.push_back(std::string(1, file.type));
      if (file.type == 'R') {
        lines.push_back(Number(static_cast<std::size_t>(file.recordLength)));
      }
      lines.push_back(Number(file.data.size() - 254 * (Blocks(file) - 1) + 1));
    }
    return lines;
  }

  std::size_t DirectoryBlocks() const {
    std::size_t blocks = 1;
    for (;;) {
      std::size_t size = Stub().size();
      for (const auto& line : Lines(blocks)) {
        size += line.size() + 1;
      }
      const std::size_t needed = std::max<std::size_t>(1, (size + 253) / 254);
      if (needed == blocks) {
        return blocks;
      }
      blocks = needed;
    }
  }
  std::vector<std::string> Lines() const { return Lines(DirectoryBlocks()); }

  Bytes Build() const { return Build(Lines(), DirectoryBlocks()); }
  // The BASIC program, the lines each with its carriage return, zero bytes
  // to the end of `directoryBlocks` blocks, then every file's data in whole
  // blocks.
  Bytes Build(const std::vector<std::string>& lines, std::size_t directoryBlocks) const {
    Bytes bytes = Stub();
    for (const auto& line : lines) {
      bytes.insert(bytes.end(), line.begin(), line.end());
      bytes.push_back(13);
    }
    bytes.resize(std::max(bytes.size(), 254 * directoryBlocks), 0);
    for (const File& file : files_) {
      Bytes data = file.data;
      data.resize(254 * Blocks(file), 0);
      bytes.insert(bytes.end(), data.begin(), data.end());
    }
    return bytes;
  }

  // 13 PRINT"USE LYNX TO UNPACK":GOTO13, loaded at $0801; then the carriage
  // return that ends it. The line number puts a carriage return's byte (13)
  // within the program.
  static Bytes Stub() {
    const std::string body =
        "\x99\"USE LYNX TO UNPACK\":\x89"
        "13";
    const std::size_t next = 0x0801 + 4 + body.size() + 1;
    Bytes bytes{0x01, 0x08, static_cast<std::uint8_t>(next), static_cast<std::uint8_t>(next >> 8), 13, 0};
    for (const char character : body + std::string("\0\0\0\r", 4)) {
      bytes.push_back(static_cast<std::uint8_t>(character));
    }
    return bytes;
  }

 private:
  // A number as Lynx writes it, with a blank either side.
  static std::string Number(std::size_t value) {
    std::string text(1, ' ');
    text.append(std::to_string(value)).push_back(' ');
    return text;
  }

  std::string signature_;
  std::vector<File> files_;
};

// Deflated bytes: raw (as zip members hold them) or one gzip member.
inline Bytes Deflate(const Bytes& data, bool gzip = false) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 16 + MAX_WBITS : -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline Bytes Gzip(const Bytes& data) { return Deflate(data, true); }

// A zip archive. Members may be altered after they are added, to build
// damaged and hostile archives.
class ZipBuilder {
 public:
  struct Member {
    std::string name;
    Bytes stored;  // as the archive holds them: deflated or not
    std::uint16_t method = 8;
    std::uint16_t flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;         // the declared size
    std::int64_t localHeader = -1;  // where the directory says; -1: its own
  };

  // Method 8 deflates, method 0 stores.
  Member& Add(std::string_view name, const Bytes& data, std::uint16_t method = 8) {
    Member member;
    member.name = name;
    member.stored = method == 8 ? Deflate(data) : data;
    member.method = method;
    member.crc = static_cast<std::uint32_t>(crc32_z(0, data.data(), data.size()));
    member.size = data.size();
    members.push_back(std::move(member));
    return members.back();
  }

  // With zip64, every size and offset of the directory is in ZIP64 fields,
  // and the end record points at a ZIP64 end record.
  Bytes Build(bool zip64 = false) const {
    Bytes out;
    std::vector<std::uint64_t> offsets;
    for (const Member& m : members) {
      offsets.push_back(out.size());
      Put(out, 0x04034B50, 4);
      Put(out, 20, 2);
      Put(out, m.flags, 2);
      Put(out, m.method, 2);
      Put(out, kDosDate << 16, 4);
      Put(out, m.crc, 4);
      Put(out, m.stored.size(), 4);
      Put(out, m.size, 4);
      Put(out, m.name.size(), 2);
      Put(out, 0, 2);
      out.insert(out.end(), m.name.begin(), m.name.end());
      out.insert(out.end(), m.stored.begin(), m.stored.end());
    }
    const std::uint64_t directory = out.size();
    for (std::size_t i = 0; i < members.size(); ++i) {
      const Member& m = members[i];
      const std::uint64_t local = m.localHeader >= 0 ? static_cast<std::uint64_t>(m.localHeader) : offsets[i];
      Put(out, 0x02014B50, 4);
      Put(out, 45, 2);
      Put(out, 20, 2);
      Put(out, m.flags, 2);
      Put(out, m.method, 2);
      Put(out, kDosDate << 16, 4);
      Put(out, m.crc, 4);
      Put(out, zip64 ? 0xFFFFFFFF : m.stored.size(), 4);
      Put(out, zip64 ? 0xFFFFFFFF : m.size, 4);
      Put(out, m.name.size(), 2);
      Put(out, zip64 ? 28 : 0, 2);
      Put(out, 0, 6);  // comment length, disk, internal attributes
      Put(out, 0, 4);
      Put(out, zip64 ? 0xFFFFFFFF : local, 4);
      out.insert(out.end(), m.name.begin(), m.name.end());
      if (zip64) {
        Put(out, 1, 2);
        Put(out, 24, 2);
        Put(out, m.size, 8);
        Put(out, m.stored.size(), 8);
        Put(out, local, 8);
      }
    }
    const std::uint64_t directorySize = out.size() - directory;
    if (zip64) {
      const std::uint64_t record = out.size();
      Put(out, 0x06064B50, 4);
      Put(out, 44, 8);
      Put(out, 45, 2);
      Put(out, 45, 2);
      Put(out, 0, 8);
      Put(out, members.size(), 8);
      Put(out, members.size(), 8);
      Put(out, directorySize, 8);
      Put(out, directory, 8);
      Put(out, 0x07064B50, 4);
      Put(out, 0, 4);
      Put(out, record, 8);
      Put(out, 1, 4);
    }
    Put(out, 0x06054B50, 4);
    Put(out, 0, 4);
    Put(out, zip64 ? 0xFFFF : members.size(), 2);
    Put(out, zip64 ? 0xFFFF : members.size(), 2);
    Put(out, zip64 ? 0xFFFFFFFF : directorySize, 4);
    Put(out, zip64 ? 0xFFFFFFFF : directory, 4);
    Put(out, 0, 2);
    return out;
  }

  std::vector<Member> members;

 private:
  static constexpr std::uint64_t kDosDate = (1986 - 1980) << 9 | 1 << 5 | 1;  // 1 January 1986, midnight

  static void Put(Bytes& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
  }
};

}  // namespace zumtal::testing
