// Zip and gzip archives. They are read through the input file's primitives;
// what they hold is decompressed into memory and handed back, to be read as a
// file of its own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "readers/input_file.h"

namespace zumtal {

enum class ArchiveKind { kNone, kZip, kGzip };

// No C64 container comes near this: a member larger than this is skipped,
// and nothing larger is ever held in memory.
inline constexpr std::uint64_t kMaxMemberSize = std::uint64_t{64} << 20;
// What is said of a member or gzip file over that size.
inline const std::string kTooLarge = "larger than " + std::to_string(kMaxMemberSize >> 20) + " MiB, skipped";

// By the end of the name, in any case: .zip; .gz, .d6z, .d7z, .d8z, .g6z.
ArchiveKind FindArchive(std::string_view name);

// What a gzip file of this name holds: the name without ".gz", or with
// .d6z, .d7z, .d8z, .g6z turned into .d64, .d71, .d81, .g64.
std::string GzipInnerName(std::string_view name);

// Whether a file of this name is a container that is read: an extension
// that a reader reads, a zip archive, or a gzip file whose inner name is one.
bool IsCatalogued(std::string_view name);

// The last component of a name with '/' separators.
std::string_view BareName(std::string_view name);

// A wanted zip member whose bytes can be had.
class ZipMember {
 public:
  ZipMember(InputFile& in, std::map<std::uint64_t, std::uint64_t>& taken) : in_(in), taken_(taken) {}
  // The member's bytes, inflated and checked against its CRC-32 and length.
  // Damage (a header or data beyond the end, data that does not inflate,
  // a wrong CRC-32 or length, more data than declared, data that another
  // member's also is) ends the run with status 100.
  std::vector<std::uint8_t> Extract() const;

  std::uint64_t localHeader = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;

 private:
  InputFile& in_;
  // The stretches of the archive that extracted members occupy, by start.
  std::map<std::uint64_t, std::uint64_t>& taken_;
};

// The members of the archive being read that its visitor indexes, looked
// up by name wherever they stand in the central directory, before or after
// the member being read. The first member of a name counts.
class ZipIndex {
 public:
  // Whether the archive holds an indexed member of this name (as stored).
  virtual bool Has(std::string_view name) = 0;
  // Its bytes, as ZipMember::Extract gives them. False, with nothing
  // thrown, when there is no such member, or it is skipped or damaged
  // (it gets its own line when the archive's reading comes to it). Each
  // stretch of the archive is extracted through the index at most once.
  virtual bool Extract(std::string_view name, std::vector<std::uint8_t>& bytes) = 0;

 protected:
  ~ZipIndex() = default;
};

class ZipVisitor {
 public:
  virtual ~ZipVisitor() = default;
  // Whether a member of this name (as stored) is to be looked up through
  // the index; none unless the visitor says so.
  virtual bool Indexes(std::string_view name) {
    (void)name;
    return false;
  }
  // The archive's index, before its first member; it lives while the
  // archive is read.
  virtual void Begin(ZipIndex& index) { (void)index; }
  // Whether the member of this name (as stored) is to be read; the others
  // are passed over without a word.
  virtual bool Wants(std::string_view name) = 0;
  // A wanted member that can be extracted.
  virtual void Member(std::string_view name, const ZipMember& member) = 0;
  // A wanted member that cannot be: why, such as "encrypted".
  virtual void Skip(std::string_view name, std::string_view why) = 0;
};

// The members of a zip archive, in the order of its central directory, and
// ZIP64 sizes and offsets. A damaged directory ends the run with status 100
// after the members before the damage.
void ReadZip(InputFile& in, ZipVisitor& visitor);

// The content of a gzip file; members one after another are one stream, and
// bytes after the last member that begin none are ignored. False, with
// `content` empty, when the content exceeds kMaxMemberSize. Damage ends the
// run with status 100.
bool ReadGzip(InputFile& in, std::vector<std::uint8_t>& content);

}  // namespace zumtal
