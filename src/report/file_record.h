// What cataloguing one file found, in the order it was found and in no
// layout: the catalogue database keeps it, and a report writer plays it back
// as the file's reports in any layout. A record is packed into one string as
// it is made, so that keeping a file's programs costs no allocation each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/program_hash.h"

namespace zumtal {

struct EntryReport;
struct Format;

// How a program's names are shown, from their bytes: as they are, or with
// every byte outside 32 to 127 as a space (ToPrintable).
inline constexpr std::uint8_t kImageNameShownPrintable = 1;
inline constexpr std::uint8_t kEntryNameShownPrintable = 2;

// One event of a record, as views into it (or into the rows it is made
// from): valid while those are.
struct RecordedEvent {
  enum class Kind : std::uint8_t {
    kBeginFile,  // member: the file or archive member begun
    kKeyLine,    // text: the extension key
    kNotC64,     // member
    kProblem,    // member, text: what was passed over
    kWholeFile,  // member, size, hashes when hashed
    kProgram,    // member, names, format and the numbers below
  };
  Kind kind = Kind::kBeginFile;
  std::string_view member;  // "" for the file itself, "/NAME" for a member
  std::string_view text;
  std::string_view imageName;  // the names' bytes
  std::string_view entryName;
  std::uint8_t namesShown = 0;  // kImageNameShown... added
  const Format* format = nullptr;
  std::uint16_t loadAddress = 0;
  std::uint64_t size = 0;
  std::int32_t rawCrc = 0;
  std::uint32_t sectorErrors = 0;
  ProgramHashes hashes;
  bool hashed = false;  // kWholeFile
};

struct FileRecord {
  // The events, packed, and how many.
  std::string rows;
  std::size_t events = 0;
  // The program hashes that the events hold (what the recording run wrote).
  HashSet hashes = 0;
  // False once anything was damaged, or held what a record cannot keep:
  // such a file is read again each run.
  bool whole = true;

  void Add(const RecordedEvent& event);
  // A program's event from its report, named as a member of `file`; false
  // when the report cannot be kept (its name is not `file`'s, or its names
  // are shown in a way their bytes do not give).
  static bool FromReport(const EntryReport& report, std::string_view file, std::string& imageName,
                         std::string& entryName, RecordedEvent& event);
};

// Reads a record's events in order.
class RecordReader {
 public:
  explicit RecordReader(std::string_view rows) : rest_(rows) {}
  bool Next(RecordedEvent& event);

 private:
  std::string_view rest_;
};

// The part of `name` after `file`: "" for the file itself, "/MEMBER" for an
// archive's member. False when `name` is not `file`'s.
bool MemberOf(std::string_view name, std::string_view file, std::string_view& member);

}  // namespace zumtal
