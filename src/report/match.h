// --match: every program and every file read, named against the collectors'
// DATs. The index is built once, before the first file, and only read after
// that (by every worker, for the sizes worth hashing); the writer runs on the
// main thread and sees programs and files in the order found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "readers/dat_file.h"
#include "report/output.h"
#include "report/program_hash.h"
#include "report/report_writer.h"

namespace zumtal {

// A DAT as the run names it: its header's name, or its file's bare name.
struct NamedDat {
  std::string name;
  DatFile file;
};

class MatchIndex {
 public:
  explicit MatchIndex(std::vector<NamedDat> dats);

  // Whether bytes of this size could match a rom at all: a rom with a
  // SHA-1 and no size could match any.
  bool WantsSize(std::uint64_t size) const { return anySize_ || sizes_.contains(size); }

  struct RomRef {
    std::uint32_t dat;
    std::uint32_t rom;
  };
  // The roms that `size` bytes with these hashes match, in the order of the
  // DATs and of their roms: by SHA-1 where a rom has one, otherwise by its
  // CRC-32 and (where it has one) its size.
  std::vector<RomRef> Find(const ProgramHashes& hashes, std::uint64_t size) const;

  const std::vector<NamedDat>& Dats() const { return dats_; }
  std::uint64_t RomCount() const { return romCount_; }

 private:
  struct Sha1Hash {
    std::size_t operator()(const Sha1Value& sha1) const;
  };

  std::vector<NamedDat> dats_;
  std::uint64_t romCount_ = 0;
  std::unordered_set<std::uint64_t> sizes_;
  bool anySize_ = false;
  std::unordered_multimap<Sha1Value, RomRef, Sha1Hash> bySha1_;
  std::unordered_multimap<std::uint32_t, RomRef> byCrc_;  // roms without a SHA-1
};

// The lines of --match in the run's layout: "have" lines per file and
// program, "unknown" lines, then the misses and the summary; or, with
// --dat, a fix-DAT of the missing roms.
class MatchWriter {
 public:
  MatchWriter(Output& out, const MatchIndex& index, Layout layout, bool fixDat, std::string_view version);

  // A file read whole: its hashes, when its size was worth hashing. The
  // programs after it, until the next file, are the programs it holds.
  void File(std::string_view pcFileName, std::uint64_t size, const std::optional<ProgramHashes>& hashes);
  void Program(const EntryReport& report, const ProgramHashes& hashes);
  // A line about a file (an error, a skipped member), as the layout writes it.
  void Line(std::string_view text);
  // After the last file: the misses and the summary, or the fix-DAT.
  void Finish();
  // A run-ending failure: the fix-DAT is written with it in a comment, and
  // true returned; the other layouts write nothing more before the failure
  // lines (false).
  bool Fail(const std::vector<std::string>& failureLines);

 private:
  void Have(MatchIndex::RomRef ref, std::string_view pcFileName, const EntryReport* program);

  Output& out_;
  const MatchIndex& index_;
  Layout layout_;
  bool fixDat_;
  std::string version_;
  std::vector<bool> hit_;                   // per rom, all DATs in order
  std::vector<std::size_t> firstRomOf_;  // per DAT: its first rom's place in hit_
  bool fileIdentified_ = false;
  std::uint64_t programs_ = 0;
  std::uint64_t identified_ = 0;
  std::string line_;
};

}  // namespace zumtal
