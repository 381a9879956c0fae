#include "driver/run.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "base/run_failure.h"
#include "driver/catalogue.h"
#include "driver/catalogue_db.h"
#include "driver/dat_sources.h"
#include "driver/dir_search.h"
#include "driver/file_stamp.h"
#include "driver/help.h"
#include "driver/options.h"
#include "driver/ordered_jobs.h"
#include "driver/progress.h"
#include "readers/archives.h"
#include "readers/input_file.h"
#include "readers/readers.h"
#include "report/dat_writer.h"
#include "report/duplicates.h"
#include "report/match.h"
#include "report/report_writer.h"

namespace zumtal {

namespace {

constexpr std::string_view kUsage[] = {
    "ZUMTAL V1.0 - Creating a raw CRC from a .d64, .t64 or .prg file",
    "USE: zumtal inputfile [inputfile] [inputfile...]",
    "Parameters:",
    " -l: long detailed info, otherwise you get CSVs on screen",
    " inputfiles are CAS files",
    "For example:",
    " zumtal -l sosperec.t64 bizbaz.d64",
    "OR",
    " zumtal -l a*.t64",
    "OR redirect output to file",
    " zumtal *.t64 >list.txt",
    "",
    "The structure of the CSV lines is the following:",
    "1) PC file name (D64, T64, PRG)",
    "2) Image name in the file, if it is stored (D64, T64), ASCII (32-128)",
    "3) Name of the file founded in the image (see 2)",
    "4) Load address",
    "5) Size in bytes",
    "6) RawCRC - a simple sum of the databytes only",
    "The followings are needed only at D64 images because they can contain",
    "non ASCII strings, but the hexcode of the names pereserves the original name.",
    "7) Original image name converted to hex string",
    "8) Original file name converted to hex string",
    "",
};

constexpr std::string_view kFooter[] = {
    "------------------------------------------------",
    "http://www.zumtal.example.org",
    "http://utilities.zumtal.example.org - not yet available",
    "",
    "Don't forget to send us, if you have a",
    "software that we have not on the website.",
};

// The files beside one found on the disk that its format's row lists,
// read where it was found while the walk could still open them there.
class FoundSiblings final : public Siblings {
 public:
  struct File {
    std::string bare;
    bool present = false;
    std::unique_ptr<InputFile> bytes;  // its first kSiblingBytes; nullptr once opened
  };

  // Reads the files beside `file` that a file of `format` asks for.
  void Read(const FoundFile& file, const Format& format) {
    const std::string folder = file.path.substr(0, file.path.size() - file.bare.size());
    for (std::string& bare : format.beside(file.bare)) {
      if (files_.size() == kMostSiblings) {
        break;
      }
      File sibling{std::move(bare), false, nullptr};
      if (const auto in = InputFile::Open(folder + sibling.bare, file.directory)) {
        sibling.present = true;
        try {
          std::vector<std::uint8_t> bytes(
              static_cast<std::size_t>(std::min<std::uint64_t>(in->FileLength(), kSiblingBytes)));
          in->ReadInto(bytes.data(), bytes.size());
          sibling.bytes = std::make_unique<InputFile>(std::move(bytes));
        } catch (const RunFailure&) {
          // One that cannot be read counts as missing.
        }
      }
      files_.push_back(std::move(sibling));
    }
  }

  bool Has(std::string_view bareName) override {
    const File* file = Find(bareName);
    return file != nullptr && file->present;
  }
  std::unique_ptr<InputFile> Open(std::string_view bareName) override {
    File* file = Find(bareName);
    return file != nullptr ? std::move(file->bytes) : nullptr;
  }

 private:
  File* Find(std::string_view bareName) {
    for (File& file : files_) {
      if (file.bare == bareName) {
        return &file;
      }
    }
    return nullptr;
  }

  std::vector<File> files_;
};

// One file to catalogue, opened where it was found; or a line about a folder.
struct Job {
  std::string name;  // the PC file name
  std::string bare;
  std::unique_ptr<InputFile> in;            // nullptr when the open failed
  std::string problem;                      // a folder that cannot be read
  std::unique_ptr<FoundSiblings> siblings;  // for a format that reads them
  // With --db: the results of a run of files kept in the database (the
  // files are then not opened, and `name` is the last one's), with their
  // bytes; or the record to keep of this file's reading.
  std::vector<KeptFile> kept;
  std::uint64_t keptBytes = 0;
  std::unique_ptr<FileRecord> record;
  FileStamp stamp;
};

// What cataloguing one file wrote and found, for the main thread to pass on.
struct JobResult {
  std::string name;
  std::string text;  // in the run's layout
  std::vector<ReportWriter::Collected> collected;
  std::optional<RunFailure> failure;
  std::string failedFile;  // the file or member being read at the failure
  int status = 0;          // 100 when -k went on past a read failure
  std::uint64_t inputs = 0;
  std::uint64_t programs = 0;
  std::uint64_t bytes = 0;
  // With --db: what this reading found, whole, to store.
  std::unique_ptr<FileRecord> record;
  FileStamp stamp;
};

struct Settings {
  Layout layout;
  Collect collect;
  bool keepGoing;
  const MatchIndex* index = nullptr;  // with --match
};

// Runs on a worker thread, for every number of threads: the failure trace
// comes from the same calls whatever the run's -j.
JobResult CatalogueJob(Job& job, const Settings& settings) {
  JobResult result;
  result.name = job.name;
  Output text;
  ReportWriter reports(text, settings.layout, settings.collect, settings.keepGoing, settings.index);
  try {
    if (!job.problem.empty()) {
      reports.WriteProblem(job.name, job.problem);
    } else if (!job.kept.empty()) {
      result.bytes = job.keptBytes;
      for (const KeptFile& kept : job.kept) {
        reports.Replay(kept.record.rows, kept.name);
      }
    } else if (!job.in) {
      reports.WriteOpenError(job.name);
    } else {
      result.bytes = job.in->FileLength();
      if (job.bare != "STDERR.TXT") {
        reports.Record(job.record.get(), job.name);
        result.status = CatalogueInput(*job.in, job.name, job.bare, 0, CatalogueContext{reports}, job.siblings.get());
        reports.Record(nullptr);
      }
      job.in->Close();
      if (job.record && job.record->whole && result.status == 0) {
        result.record = std::move(job.record);
        result.stamp = std::move(job.stamp);
      }
    }
  } catch (const RunFailure& failure) {
    result.failure = failure;
    result.failedFile = reports.CurrentFile();
  }
  job.in.reset();
  result.text = text.TakeText();
  result.collected = reports.TakeCollected();
  result.inputs = reports.FileCount();
  result.programs = reports.ProgramCount();
  return result;
}

// The main thread's side: passes each file's results on in the order the
// files were found, and writes what sums up the run.
class RunWriter {
 public:
  RunWriter(Output& out, const Settings& settings, bool jsonGroups, bool fixDat, Progress& progress, CatalogueDb* db)
      : out_(out), settings_(settings), jsonGroups_(jsonGroups), progress_(progress), db_(db) {
    if (settings.collect == Collect::kDat) {
      dat_.emplace(out, Version());
    }
    if (settings.collect == Collect::kMatch) {
      match_.emplace(out, *settings.index, settings.layout, fixDat, Version());
    }
  }

  // Throws the file's run-ending failure, after what it wrote before it.
  void Take(JobResult& result) {
    if (db_ != nullptr && result.record && !result.failure) {
      db_->Store(result.stamp, *result.record);
    }
    out_.WriteLines(result.text);
    for (const auto& item : result.collected) {
      if (match_) {
        TakeMatch(item);
        continue;
      }
      switch (item.kind) {
        case ReportWriter::Collected::Kind::kFile:
          break;
        case ReportWriter::Collected::Kind::kProgram:
          if (dat_) {
            dat_->AddRom(item.report, item.digests);
          } else {
            duplicates_.Add(item.report, item.digests);
          }
          break;
        case ReportWriter::Collected::Kind::kComment:
          dat_->Comment(item.text);
          break;
        case ReportWriter::Collected::Kind::kContainer:
          dat_->EndContainer();
          break;
      }
    }
    progress_.Done(result.name, result.inputs, result.programs, result.bytes);
    status_ = status_ != 0 ? status_ : result.status;
    if (result.failure) {
      Fail(*result.failure, result.failedFile);
      throw *result.failure;
    }
  }

  // The run's end: the groups, the DAT's end, or the footer.
  void Finish() {
    WriteSummary();
    if (dat_) {
      dat_->Finish();
    } else if (match_) {
      match_->Finish();
    } else if (settings_.collect == Collect::kNone && settings_.layout != Layout::kJson) {
      for (const auto line : kFooter) {
        out_.Line(line);
      }
    }
  }

  int Status() const { return status_; }

 private:
  // What was found before a run-ending failure goes out first.
  void Fail(const RunFailure& failure, const std::string& file) {
    WriteSummary();
    if (dat_) {
      dat_->Fail(FailureLines(failure, TraceDepth(out_.IsTerminal())));
      return;
    }
    if (match_ && match_->Fail(FailureLines(failure, TraceDepth(out_.IsTerminal())))) {
      return;
    }
    ReportWriter last(out_, settings_.layout);
    last.BeginFile(file);
    last.WriteFailure(failure);
  }

  void TakeMatch(const ReportWriter::Collected& item) {
    switch (item.kind) {
      case ReportWriter::Collected::Kind::kFile:
        match_->File(item.report.pcFileName, item.report.size,
                     item.hashed ? std::optional<ProgramHashes>(item.digests) : std::nullopt);
        break;
      case ReportWriter::Collected::Kind::kProgram:
        match_->Program(item.report, item.digests);
        break;
      case ReportWriter::Collected::Kind::kComment:
        match_->Line(item.text);
        break;
      case ReportWriter::Collected::Kind::kContainer:
        break;
    }
  }

  void WriteSummary() {
    if (settings_.collect != Collect::kDuplicates) {
      return;
    }
    if (jsonGroups_) {
      duplicates_.WriteJson(out_);
    } else {
      duplicates_.WriteText(out_);
    }
  }

  Output& out_;
  const Settings& settings_;
  bool jsonGroups_;
  Progress& progress_;
  CatalogueDb* db_;
  DuplicateFinder duplicates_;
  std::optional<DatWriter> dat_;
  std::optional<MatchWriter> match_;
  int status_ = 0;
};

// Finds the files of every argument, opens each where it was found (and
// asks the system to read a large one ahead), and queues it.
class Finder : public TreeVisitor {
 public:
  // With --db: `db`, whether the walks' files are tracked (-r), the hashes
  // the run needs, and the newest modification time worth storing.
  struct Keeping {
    CatalogueDb* db = nullptr;
    bool recursive = false;
    HashSet needs = 0;
    const MatchIndex* index = nullptr;
    std::int64_t storeBefore = 0;
  };

  Finder(OrderedJobs<Job, JobResult>& jobs, RunWriter& writer, const Keeping& keeping)
      : jobs_(jobs), writer_(writer), keeping_(keeping) {}

  bool Wants(std::string_view name) override { return IsCatalogued(name); }
  void File(const FoundFile& file) override {
    Job job;
    job.name = file.name;
    job.bare = file.bare;
    const Format* format = FindFormat(file.bare);
    // With --db: the file's path, and whether what this reading finds is
    // stored.
    bool keep = keeping_.db != nullptr && file.bare != "STDERR.TXT" && !(job.stamp.path = StampPath(file)).empty();
    bool stamped = false;
    if (keep) {
      if (keeping_.recursive) {
        keeping_.db->Found(job.stamp.path);
      }
      // A file with rows is stamped now, to tell whether they still hold;
      // any other file by its opening, which asks the system anyway.
      if (const std::optional<CatalogueDb::FileRow> row = keeping_.db->Look(job.stamp.path)) {
        keep = stamped = StampFile(file, job.stamp);
        if (stamped && Kept(file, format, *row, job)) {
          return;
        }
      }
    }
    job.in = InputFile::Open(file.path, file.directory);
    // A file that the first read takes whole gets no read-ahead while the
    // files are in the system's cache: there the call would cost as much as
    // the read.
    if (job.in && (job.in->FileLength() > InputFile::kWindow || InputFile::FilesAreCold())) {
      job.in->ReadAhead();
    }
    if (keep && job.in && !stamped) {
      job.stamp.size = job.in->FileLength();
      job.stamp.modifiedNs = job.in->ModifiedNs();
      StampSiblings(file, format, job.stamp);
      stamped = true;
    }
    // File times advance in coarse steps: a file changed just now could
    // change again within the same time.
    if (stamped && std::max(job.stamp.modifiedNs, job.stamp.besideNewestNs) < keeping_.storeBefore) {
      job.record = std::make_unique<FileRecord>();
    }
    // The directory handle is valid during this call only.
    if (job.in && format != nullptr && format->beside != nullptr) {
      job.siblings = std::make_unique<FoundSiblings>();
      job.siblings->Read(file, *format);
    }
    Queue(std::move(job));
  }
  void UnreadableFolder(std::string_view path) override {
    if (keeping_.db != nullptr) {
      keeping_.db->Unreadable(AbsoluteFolder(std::string(path)));
    }
    Job job;
    job.name = path;
    job.problem = "folder cannot be read";
    Queue(std::move(job));
  }

  void Queue(Job job) {
    QueueHits();
    Push(std::move(job));
  }
  void Drain() {
    QueueHits();
    while (!jobs_.Empty()) {
      JobResult result = jobs_.PopOldest();
      writer_.Take(result);
    }
  }

 private:
  // Files kept per job, and the bytes of their rows: memory stays bounded
  // by the jobs in flight whatever the files hold.
  static constexpr std::size_t kHitsPerJob = 64;
  static constexpr std::size_t kHitRowsPerJob = 256 * 1024;

  // What a file read with the files beside it reports depends on them too
  // (a Zipcode part): they are part of its stamp.
  static void StampSiblings(const FoundFile& file, const Format* format, FileStamp& stamp) {
    if (format != nullptr && format->beside != nullptr) {
      zumtal::StampBeside(file, format->beside(file.bare), stamp);
    }
  }

  // Queues the rows of a stamped file when they hold.
  bool Kept(const FoundFile& file, const Format* format, const CatalogueDb::FileRow& row, Job& job) {
    StampSiblings(file, format, job.stamp);
    std::optional<KeptFile> kept = keeping_.db->Find(row, job.stamp, job.name, keeping_.needs, keeping_.index);
    if (!kept) {
      return false;
    }
    // Files kept go to a worker in runs: one job each would cost more in
    // handing over than in playing back.
    hits_.name = job.name;
    hits_.kept.push_back(std::move(*kept));
    hits_.keptBytes += job.stamp.size;
    hitsRows_ += hits_.kept.back().record.rows.size();
    if (hits_.kept.size() == kHitsPerJob || hitsRows_ >= kHitRowsPerJob) {
      QueueHits();
    }
    return true;
  }

  void QueueHits() {
    if (!hits_.kept.empty()) {
      hitsRows_ = 0;
      Push(std::exchange(hits_, Job{}));
    }
  }
  void Push(Job job) {
    while (jobs_.Full()) {
      JobResult result = jobs_.PopOldest();
      writer_.Take(result);
    }
    jobs_.Push(std::move(job));
  }

  OrderedJobs<Job, JobResult>& jobs_;
  RunWriter& writer_;
  Keeping keeping_;
  Job hits_;  // files kept, not yet queued
  std::size_t hitsRows_ = 0;
};

}  // namespace

int Run(const std::vector<std::string>& args, Output& out, ErrorOutput& err) {
  if (args.empty()) {
    out.EndLine();
    for (const auto line : kUsage) {
      out.Line(line);
    }
    return 0;
  }
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (!parsed.error.empty()) {
    err.Write(parsed.error + "\r\n");
    return 2;
  }
  const Options& options = parsed.options;
  if (options.help) {
    WriteHelp(out);
    return 0;
  }
  if (options.version) {
    out.Write("zumtal ");
    out.Line(Version());
    return 0;
  }
  // Every DAT is read before the first pattern; one that cannot be ends the
  // run before anything is written.
  std::optional<MatchIndex> index;
  if (!options.match.empty()) {
    std::vector<NamedDat> dats;
    if (std::string error = LoadDats(options.match, dats); !error.empty()) {
      err.Write(error + "\r\n");
      return 2;
    }
    index.emplace(std::move(dats));
  }
  const std::int64_t started = NowNs();
  // The database's lock is taken before anything is written.
  std::unique_ptr<CatalogueDb> db;
  if (!options.db.empty()) {
    std::string error;
    std::string notice;
    db = CatalogueDb::Open(options.db, error, notice);
    if (!db) {
      err.Write(error + "\r\n");
      return 2;
    }
    if (!notice.empty()) {
      err.Write(notice + "\r\n");
    }
  }
  const Settings settings{options.json       ? Layout::kJson
                          : options.longMode ? Layout::kLong
                                             : Layout::kCsv,
                          index                ? Collect::kMatch
                          : options.dat        ? Collect::kDat
                          : options.duplicates ? Collect::kDuplicates
                                               : Collect::kNone,
                          options.keepGoing, index ? &*index : nullptr};
  if (settings.layout == Layout::kJson) {
    // JSON Lines: no usage text, empty line or footer, and nothing at all
    // without a pattern.
    out.SetLineEnd("\n");
  } else if (settings.collect == Collect::kNone) {
    out.EndLine();
  }
  Progress progress(err, err.IsTerminal() && !out.IsTerminal());
  RunWriter writer(out, settings, options.json, options.dat, progress, db.get());
  const unsigned threads = options.jobs != 0 ? options.jobs : AvailableCores();
  {
    // Enough files in flight to keep every thread and the disk busy, few
    // enough that memory and open files stay bounded.
    OrderedJobs<Job, JobResult> jobs(threads, std::min<std::size_t>(4 * threads + 32, threads + 256),
                                     [&settings](Job& job) { return CatalogueJob(job, settings); });
    Finder finder(
        jobs, writer,
        Finder::Keeping{db.get(), options.recursive, ReportWriter::HashesFor(settings.layout, settings.collect),
                        settings.index, started - 2'000'000'000});
    for (const std::string& pattern : options.patterns) {
      if (options.recursive) {
        WalkArgument(pattern, finder);
        if (db && IsDirectory(pattern)) {
          db->Walked(AbsoluteFolder(pattern));
        }
        continue;
      }
      for (const FoundFile& file : SearchDirectory(pattern)) {
        finder.File(file);
      }
    }
    finder.Drain();
  }
  progress.Clear();
  writer.Finish();
  if (db) {
    db->Finish();
    if (!db->Failure().empty()) {
      err.Write(db->Failure() + "\r\n");
      return writer.Status() != 0 ? writer.Status() : 2;
    }
  }
  return writer.Status();
}

}  // namespace zumtal
