// --duplicates: every program's SHA-1 and where it was found, kept in one
// small record until the run ends; then the groups of copies and a summary.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "report/output.h"
#include "report/program_hash.h"
#include "report/report_writer.h"

namespace zumtal {

struct DuplicateSummary {
  std::uint64_t programs = 0;
  std::uint64_t distinct = 0;
  std::uint64_t groups = 0;
  // The PRG-form bytes of every copy but the first of each group.
  std::uint64_t extraBytes = 0;
};

class DuplicateFinder {
 public:
  // One program, in the order found. The programs of one container arrive
  // one after another and share one copy of its file and image names.
  void Add(const EntryReport& report, const ProgramHashes& digests);

  // Each group of two or more programs with one SHA-1, in the order its
  // first copy was found, one CR LF line per copy in the order found and an
  // empty line after the group; then the summary line.
  void WriteText(Output& out) const;
  // The same as JSON Lines: an object per group, then the summary object.
  void WriteJson(Output& out) const;

 private:
  // 40 bytes per program (36 in 32-bit builds); its entry name ends at entryEnd in entryNames_
  // and begins where the previous program's ends.
  struct Record {
    std::array<std::uint8_t, 20> sha1;
    std::uint32_t container;
    std::uint32_t sizeLow;
    std::uint16_t sizeHigh;
    std::uint16_t loadAddress;
    std::size_t entryEnd;
  };
  // A container's file name, then its image name, end to end in
  // containerNames_ after the previous container's.
  struct ContainerRecord {
    std::size_t fileEnd;
    std::size_t imageEnd;
  };
  struct Group {
    std::uint32_t first;  // in the order of records sorted by SHA-1
    std::uint32_t count;
  };
  struct Grouping;

  Grouping GroupCopies() const;
  DuplicateSummary Summarize(const Grouping& grouping) const;
  static std::uint64_t Size(const Record& record);
  std::string_view FileName(std::uint32_t container) const;
  std::string_view ImageName(std::uint32_t container) const;
  std::string_view EntryName(std::uint32_t index) const;

  std::deque<Record> records_;
  std::deque<ContainerRecord> containers_;
  std::string entryNames_;
  std::string containerNames_;
};

}  // namespace zumtal
