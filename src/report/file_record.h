// What cataloguing one file found, in the order it was found and in no
// layout: the catalogue database keeps it, and a report writer plays it back
// as the file's reports in any layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "readers/program_sink.h"
#include "report/program_hash.h"

namespace zumtal {

struct Format;

struct RecordedEvent {
  enum class Kind : std::uint8_t {
    kBeginFile,  // name: the file or archive member begun
    kKeyLine,    // text: the extension key
    kProgram,    // report, format, hashes
    kNotC64,     // name
    kProblem,    // name, text: what was passed over
    kWholeFile,  // name, report.size, hashes when hashed
  };
  Kind kind = Kind::kBeginFile;
  std::string name;
  std::string text;
  EntryReport report;
  const Format* format = nullptr;
  ProgramHashes hashes;
  bool hashed = false;  // kWholeFile
};

struct FileRecord {
  std::vector<RecordedEvent> events;
  // The program hashes that the events hold (what the recording run wrote).
  HashSet hashes = 0;
  // False once anything was damaged: such a file is read again each run.
  bool whole = true;
};

}  // namespace zumtal
