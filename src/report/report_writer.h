// The report writer: every program's report, and every line about a file,
// in the run's layout (CSV lines, six-line blocks, JSON Lines), or collected
// for a summary of the whole run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "readers/program_sink.h"
#include "readers/readers.h"
#include "report/file_record.h"
#include "report/output.h"
#include "report/program_hash.h"

namespace zumtal {

class MatchIndex;
class ProgramHash;
class RunFailure;

// How the run writes its reports: CSV lines, six-line blocks (-l), or JSON
// Lines (--json), the one layout with hashes.
enum class Layout { kCsv, kLong, kJson };

// Whether reports are written as they come or collected for a summary of the
// whole run: --duplicates collects programs, --dat also the lines about
// files and where each container begins, --match also every file read whole.
enum class Collect { kNone, kDuplicates, kDat, kMatch };

// How many trace lines the failure lines hold: many would flood a terminal.
constexpr std::size_t TraceDepth(bool terminal) { return terminal ? 9 : 257; }

// Where readers hand their reports: the output and the run's layout.
class ReportWriter final : public ProgramSink {
 public:
  // With `keepGoing` (-k), damage gets one line and the run goes on.
  // With kMatch, `index` says which files are worth hashing whole.
  ReportWriter(Output& out, Layout layout, Collect collect = Collect::kNone, bool keepGoing = false,
               const MatchIndex* index = nullptr);
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // The program hashes that a layout writes or collects.
  static HashSet HashesFor(Layout layout, Collect collect);

  // From now on every call that makes the reports of `file` is also kept
  // in `record` (nullptr: no longer), with the hashes this writer computes.
  void Record(FileRecord* record, std::string_view file = {});
  // The reports of a recorded file, named `file` this time, as the calls
  // it holds made them. The record holds the hashes this writer needs
  // (HashesFor).
  void Replay(std::string_view rows, std::string_view file);

  // In the layouts with hashes the bytes that `in` sums from now on go into
  // the program's hashes.
  void BeginProgram(InputFile& in, std::uint16_t loadAddress) override;
  void EndProgram(const EntryReport& report, const Format& format) override;
  // A file that no reader reads, or that is not of the form its name says.
  void NotC64(std::string_view name) override;
  // With keep-going: "!Error: PCFILE: ENTRY: what" in place of the report.
  bool ProgramDamaged(const EntryReport& report, const Format& format, std::string_view what) override;
  // "!Error: NAME: what", as WriteProblem.
  void Problem(std::string_view name, std::string_view what) override { WriteProblem(name, what); }
  bool KeepsGoing() const { return keepGoing_; }
  // The programs and containers kept going past so far.
  std::uint64_t DamageCount() const { return damaged_; }

  // A file about to be read by its format's reader (an archive member and
  // a gzip file's content included): with kMatch, its whole bytes are
  // hashed when a rom of the DATs could match them. A PRG file's whole bytes
  // are its program's PRG form, which is matched as the program.
  void WholeFile(InputFile& in, std::string_view name, const Format& format);

  // The lines of the run about files rather than programs. Every layout
  // decides how (and whether) it writes each of them.
  // The upper-cased extension key before a file's reports.
  void WriteKeyLine(std::string_view key);
  // A file that could not be opened.
  void WriteOpenError(std::string_view name);
  // Anything else passed over or cut short: "!Error: NAME: what".
  void WriteProblem(std::string_view name, std::string_view what);
  // A container kept going past: its line, as WriteProblem's.
  void WriteDamage(std::string_view name, std::string_view what);

  // The file or archive member being read from now on: the run-ending
  // failure names it.
  void BeginFile(std::string_view name);
  const std::string& CurrentFile() const { return file_; }
  // The run-ending failure, in the run's layout. It writes without passing
  // anything on, so a failing output cannot throw again.
  void WriteFailure(const RunFailure& failure);
  // The reports written, and the files and members begun, so far.
  std::uint64_t ProgramCount() const { return programs_; }
  std::uint64_t FileCount() const { return files_; }

  // What a collecting writer gathered since the last call, in order.
  struct Collected {
    enum class Kind { kProgram, kComment, kContainer, kFile } kind;
    EntryReport report;     // kProgram; kFile: its name and size
    ProgramHashes digests;  // kProgram; kFile when hashed
    std::string text;       // kComment: the line as the layout writes it
    bool hashed = false;    // kFile
  };
  std::vector<Collected> TakeCollected();

 private:
  // JSON: `"file":NAME` and, for a name that is not UTF-8, its bytes in hex.
  void AppendFileKeys(std::string_view name);
  void WriteEvent(std::string_view name, std::string_view error);
  // A line about a file: `text` in the text layouts, a comment for a DAT,
  // an object with `error` in JSON.
  void WriteFileLine(std::string_view name, const std::string& text, std::string_view error);
  // A whole line of the layout: written, or collected in its place.
  void Emit(const std::string& line);
  void WriteProgram(const EntryReport& report, const Format& format, const ProgramHashes& hashes);
  // Keeps an event of the file being recorded, named `name`.
  void Keep(RecordedEvent::Kind kind, std::string_view name, std::string_view text = {});
  void Keep(RecordedEvent& event, std::string_view name);

  Output& out_;
  Layout layout_;
  Collect collect_;
  bool keepGoing_;
  std::uint64_t damaged_ = 0;
  std::vector<Collected> collected_;
  std::unique_ptr<ProgramHash> hash_;      // in the layouts with hashes
  std::unique_ptr<ProgramHash> fileHash_;  // with kMatch
  const MatchIndex* index_;
  FileRecord* record_ = nullptr;
  std::string recordFile_;             // the file whose reports are kept
  std::string imageName_, entryName_;  // a kept program's names, decoded
  EntryReport replayed_;               // a played-back program's report
  std::string file_;
  std::string line_;  // a JSON line being built
  std::uint64_t programs_ = 0;
  std::uint64_t files_ = 0;
};

}  // namespace zumtal
