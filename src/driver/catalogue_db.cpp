#include "driver/catalogue_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/text.h"
#include "readers/readers.h"
#include "report/match.h"

namespace zumtal {

namespace {

// Files stored per transaction: each file's rows go in whole or not at all,
// and a commit per file would cost more than the file.
constexpr int kFilesPerTransaction = 256;

// A program's or line's rowid: its file's id, then its position. The rows
// of a file are one range, and a file's rows are appended at the end of
// their table. A file of more rows is not stored.
constexpr int kPositionBits = 20;
constexpr std::int64_t kRowsPerFile = std::int64_t{1} << kPositionBits;
constexpr std::int64_t FirstRow(std::int64_t fileId) { return fileId << kPositionBits; }
constexpr std::int64_t LastRow(std::int64_t fileId) { return FirstRow(fileId) + kRowsPerFile - 1; }

constexpr const char* kSchema = R"(
CREATE TABLE files(
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL UNIQUE,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  beside TEXT NOT NULL,
  hashes INTEGER NOT NULL
);
CREATE TABLE programs(
  file_id INTEGER NOT NULL,
  position INTEGER NOT NULL,
  member TEXT NOT NULL,
  image_name TEXT NOT NULL,
  entry_name TEXT NOT NULL,
  names_shown INTEGER NOT NULL,
  format TEXT NOT NULL,
  marker TEXT NOT NULL,
  load_address INTEGER NOT NULL,
  size INTEGER NOT NULL,
  raw_crc INTEGER NOT NULL,
  crc32 INTEGER,
  md5 BLOB,
  sha1 BLOB,
  sector_errors INTEGER NOT NULL
);
CREATE TABLE lines(
  file_id INTEGER NOT NULL,
  position INTEGER NOT NULL,
  kind TEXT NOT NULL,
  member TEXT NOT NULL,
  text TEXT NOT NULL,
  size INTEGER,
  crc32 INTEGER,
  md5 BLOB,
  sha1 BLOB
);
)";

constexpr const char* kDropSchema =
    "DROP TABLE IF EXISTS lines; DROP TABLE IF EXISTS programs; "
    "DROP TABLE IF EXISTS files;";

const struct {
  RecordedEvent::Kind kind;
  std::string_view name;
} kLineKinds[] = {{RecordedEvent::Kind::kBeginFile, "begin"},
                  {RecordedEvent::Kind::kKeyLine, "key"},
                  {RecordedEvent::Kind::kNotC64, "not_c64"},
                  {RecordedEvent::Kind::kProblem, "skipped"},
                  {RecordedEvent::Kind::kWholeFile, "whole"}};

// One prepared statement, reset after each use.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Prepare(sqlite3* db, const char* sql) { return sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
  // Every use binds every parameter again, so the old values need no
  // clearing; and every value bound outlives the statement's step, so
  // SQLite need not copy it.
  Statement& Reset() {
    sqlite3_reset(stmt_);
    next_ = 1;
    return *this;
  }
  Statement& Text(std::string_view text) {
    // An empty view may have no bytes at all: SQLite would take it as NULL.
    sqlite3_bind_text(stmt_, next_++, text.empty() ? "" : text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
  }
  Statement& Blob(const std::uint8_t* bytes, std::size_t size, bool present = true) {
    if (present) {
      sqlite3_bind_blob(stmt_, next_++, bytes, static_cast<int>(size), SQLITE_STATIC);
    } else {
      sqlite3_bind_null(stmt_, next_++);
    }
    return *this;
  }
  Statement& Int(std::int64_t value, bool present = true) {
    if (present) {
      sqlite3_bind_int64(stmt_, next_++, value);
    } else {
      sqlite3_bind_null(stmt_, next_++);
    }
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return sqlite3_step(stmt_); }

  std::int64_t ColumnInt(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  // A hash column's bytes; zeros when it is absent.
  template <std::size_t N>
  void Bytes(int column, std::array<std::uint8_t, N>& bytes) const {
    const std::string_view stored = ColumnView(column);
    if (stored.size() == N) {
      std::memcpy(bytes.data(), stored.data(), N);
    }
  }
  // Valid until the statement steps on or is reset.
  std::string_view ColumnView(int column) const {
    const void* bytes = sqlite3_column_blob(stmt_, column);
    return bytes == nullptr ? std::string_view()
                            : std::string_view(static_cast<const char*>(bytes),
                                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int next_ = 1;
};

const Format* FormatNamed(std::string_view name) {
  for (const Format& format : Formats()) {
    if (format.name == name) {
      return &format;
    }
  }
  return nullptr;
}

}  // namespace

struct CatalogueDb::Statements {
  Statement findFile, findPrograms, findLines, deleteFile, deletePrograms, deleteLines, insertFile, insertProgram,
      insertLine, found;
};

CatalogueDb::CatalogueDb(sqlite3* db, std::string file) : db_(db), file_(std::move(file)) {}

std::unique_ptr<CatalogueDb> CatalogueDb::Open(const std::string& file, std::string& error, std::string& notice) {
  sqlite3* handle = nullptr;
  // One thread uses the connection: SQLite's own locking of each call is
  // not needed.
  const int opened =
      sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<CatalogueDb> db(new CatalogueDb(handle, file));
  const auto fail = [&](std::string why) {
    std::replace(why.begin(), why.end(), '\n', ' ');  // one line
    error = "zumtal: --db " + file + ": " + why;
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    return nullptr;
  };
  if (opened != SQLITE_OK) {
    return fail(handle != nullptr ? sqlite3_errmsg(handle) : "cannot be opened");
  }
  sqlite3_busy_timeout(handle, 5000);
  // A new catalogue (an empty file) is made without waiting for the disk:
  // until its tables are committed it holds nothing to keep.
  sqlite3_file* raw = nullptr;
  sqlite3_int64 size = -1;
  const bool fresh = sqlite3_file_control(handle, "main", SQLITE_FCNTL_FILE_POINTER, &raw) == SQLITE_OK &&
                     raw != nullptr && raw->pMethods != nullptr && raw->pMethods->xFileSize(raw, &size) == SQLITE_OK &&
                     size == 0;
  // A new catalogue gets 16 KiB pages: a file's rows take fewer of them,
  // and fewer writes. The size is taken when the file is first read, so it
  // is asked for before that; a file that exists keeps its own.
  // The lock, held from the first transaction to the end of the run:
  // another run waits for it, and gives up after five seconds.
  if (!db->Exec(fresh ? "PRAGMA synchronous=OFF" : "PRAGMA synchronous=NORMAL") ||
      !db->Exec("PRAGMA page_size=16384") || !db->Exec("PRAGMA locking_mode=EXCLUSIVE") ||
      !db->Exec("BEGIN EXCLUSIVE")) {
    return fail(sqlite3_errcode(handle) == SQLITE_BUSY
                    ? "in use by another run (waited 5 seconds)"
                    : std::string("not a zumtal catalogue (") + sqlite3_errmsg(handle) + ")");
  }
  std::int64_t id = 0;
  std::int64_t version = 0;
  std::int64_t objects = 0;
  for (const auto& [sql, value] : {std::pair<const char*, std::int64_t*>{"PRAGMA application_id", &id},
                                   {"PRAGMA user_version", &version},
                                   {"SELECT count(*) FROM sqlite_master", &objects}}) {
    Statement check;
    if (!check.Prepare(handle, sql) || check.Step() != SQLITE_ROW) {
      return fail(std::string("not a zumtal catalogue (") + sqlite3_errmsg(handle) + ")");
    }
    *value = check.ColumnInt(0);
  }
  const bool empty = id == 0 && version == 0 && objects == 0;
  if (!empty && id == kCatalogueApplicationId) {
    // Damage to the tables' roots is found now, before any output, and
    // leaves the file as it was. A check of every page would read the
    // whole catalogue on every run; damage deeper down ends the storing
    // when a run meets it (Failure), and the file is read instead.
    // (Columns that no index holds, so that the tables themselves are read.)
    for (const char* sql : {"SELECT hashes FROM files LIMIT 1", "SELECT path FROM files ORDER BY path LIMIT 1",
                            "SELECT sector_errors FROM programs LIMIT 1", "SELECT text FROM lines LIMIT 1"}) {
      Statement probe;
      const int step = probe.Prepare(handle, sql) ? probe.Step() : sqlite3_errcode(handle);
      if (step != SQLITE_ROW && step != SQLITE_DONE) {
        return fail(std::string("damaged (") + sqlite3_errmsg(handle) + ")");
      }
    }
  }
  if (!empty && id != kCatalogueApplicationId) {
    return fail("not a zumtal catalogue");
  }
  if (!empty && version > kCatalogueSchemaVersion) {
    return fail("a catalogue of a newer zumtal (schema " + std::to_string(version) + ")");
  }
  // The log from here on (the lock stays: exclusive mode keeps it), and a
  // checkpoint (two syncs) only every 2,048 pages of it (32 MiB in a new
  // catalogue). Its first 64 MiB are read through a mapping, without
  // copies; 8 MiB of pages are cached.
  if (!db->Exec("COMMIT") || !db->Exec("PRAGMA journal_mode=WAL") || !db->Exec("PRAGMA wal_autocheckpoint=2048") ||
      !db->Exec("PRAGMA cache_size=-8192") || !db->Exec("PRAGMA mmap_size=67108864")) {
    return fail(sqlite3_errmsg(handle));
  }
  if (empty || version < kCatalogueSchemaVersion) {
    if (!empty) {
      notice = "zumtal: --db " + file + ": a catalogue of an older zumtal, rebuilt";
    }
    const std::string pragmas = "PRAGMA application_id=" + std::to_string(kCatalogueApplicationId) +
                                "; PRAGMA user_version=" + std::to_string(kCatalogueSchemaVersion) + ";";
    if (!db->Exec("BEGIN EXCLUSIVE") || !db->Exec(kDropSchema) || !db->Exec(kSchema) || !db->Exec(pragmas.c_str()) ||
        !db->Exec("COMMIT")) {
      return fail(sqlite3_errmsg(handle));
    }
  }
  // From here on each checkpoint waits for the disk (the log itself need
  // not: a run killed loses only what it had not committed).
  if (!db->Exec("PRAGMA synchronous=NORMAL")) {
    return fail(sqlite3_errmsg(handle));
  }
  if (!db->Prepare()) {
    return fail(sqlite3_errmsg(handle));
  }
  // A catalogue that holds no file (a first run) is not searched: a file
  // named twice in the run is then read twice, as without it.
  Statement any;
  const int step = any.Prepare(handle, "SELECT 1 FROM files LIMIT 1") ? any.Step() : sqlite3_errcode(handle);
  if (step != SQLITE_ROW && step != SQLITE_DONE) {
    return fail(sqlite3_errmsg(handle));
  }
  db->holdsFiles_ = step == SQLITE_ROW;
  return db;
}

CatalogueDb::~CatalogueDb() {
  if (failure_.empty() && inTransaction_) {
    Commit();
  }
  statements_.reset();
  sqlite3_close(db_);
}

bool CatalogueDb::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool CatalogueDb::Prepare() {
  statements_ = std::make_unique<Statements>();
  Statements& s = *statements_;
  return s.findFile.Prepare(db_, "SELECT id, size, mtime_ns, hashes, beside FROM files WHERE path = ?") &&
         s.findPrograms.Prepare(db_,
                                "SELECT position, member, image_name, entry_name, md5, sha1, format, load_address, "
                                "size, raw_crc, crc32, sector_errors, names_shown FROM programs "
                                "WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid") &&
         s.findLines.Prepare(db_,
                             "SELECT position, kind, member, text, size, crc32, md5, sha1 FROM lines "
                             "WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid") &&
         s.deleteFile.Prepare(db_, "DELETE FROM files WHERE id = ?") &&
         s.deletePrograms.Prepare(db_, "DELETE FROM programs WHERE rowid BETWEEN ?1 AND ?2") &&
         s.deleteLines.Prepare(db_, "DELETE FROM lines WHERE rowid BETWEEN ?1 AND ?2") &&
         s.insertFile.Prepare(db_, "INSERT INTO files(path, size, mtime_ns, beside, hashes) VALUES(?, ?, ?, ?, ?)") &&
         s.insertProgram.Prepare(db_,
                                 "INSERT INTO programs(rowid, file_id, position, member, image_name, entry_name, "
                                 "names_shown, format, marker, load_address, size, raw_crc, crc32, md5, sha1, "
                                 "sector_errors) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") &&
         s.insertLine.Prepare(db_,
                              "INSERT INTO lines(rowid, file_id, position, kind, member, text, size, crc32, md5, "
                              "sha1) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
}

void CatalogueDb::Fail() {
  if (failure_.empty()) {
    failure_ = "zumtal: --db " + file_ + ": " + sqlite3_errmsg(db_) + "; the rest of the run is not stored";
    Exec("ROLLBACK");
    inTransaction_ = false;
  }
}

bool CatalogueDb::Begin() {
  if (!inTransaction_) {
    if (!Exec("BEGIN")) {
      Fail();
      return false;
    }
    inTransaction_ = true;
    stored_ = 0;
  }
  return true;
}

void CatalogueDb::Commit() {
  inTransaction_ = false;
  if (!Exec("COMMIT")) {
    Fail();
  }
}

std::optional<CatalogueDb::FileRow> CatalogueDb::Look(const std::string& path) {
  if (!failure_.empty() || !holdsFiles_) {
    return std::nullopt;
  }
  Statement& file = statements_->findFile.Reset().Text(path);
  const int step = file.Step();
  std::optional<FileRow> row;
  if (step == SQLITE_ROW) {
    row.emplace(FileRow{file.ColumnInt(0), static_cast<std::uint64_t>(file.ColumnInt(1)), file.ColumnInt(2),
                        static_cast<HashSet>(file.ColumnInt(3)), std::string(file.ColumnView(4))});
  } else if (step != SQLITE_DONE) {
    Fail();
  }
  // Left reset: a statement in progress would hold the write-ahead log back
  // from its checkpoints.
  file.Reset();
  return row;
}

std::optional<KeptFile> CatalogueDb::Find(const FileRow& row, const FileStamp& stamp, const std::string& name,
                                          HashSet needs, const MatchIndex* index) {
  if (!failure_.empty() || row.size != stamp.size || row.modifiedNs != stamp.modifiedNs ||
      (row.hashes & needs) != needs || row.beside != stamp.beside) {
    return std::nullopt;
  }
  Statements& s = *statements_;
  // Left reset on every way out, as in Look.
  struct Done {
    Statements& s;
    ~Done() {
      s.findPrograms.Reset();
      s.findLines.Reset();
    }
  } done{s};
  const std::int64_t id = row.id;
  KeptFile kept{name, {}};
  kept.record.hashes = row.hashes;
  // Programs and lines share one count of positions: merged in order.
  Statement& programs = s.findPrograms.Reset().Int(FirstRow(id)).Int(LastRow(id));
  Statement& lines = s.findLines.Reset().Int(FirstRow(id)).Int(LastRow(id));
  int program = programs.Step();
  int line = lines.Step();
  while (program == SQLITE_ROW || line == SQLITE_ROW) {
    RecordedEvent event;
    if (program == SQLITE_ROW && (line != SQLITE_ROW || programs.ColumnInt(0) < lines.ColumnInt(0))) {
      event.kind = RecordedEvent::Kind::kProgram;
      event.format = FormatNamed(programs.ColumnView(6));
      if (event.format == nullptr) {
        return std::nullopt;
      }
      event.member = programs.ColumnView(1);
      event.imageName = programs.ColumnView(2);
      event.entryName = programs.ColumnView(3);
      programs.Bytes(4, event.hashes.md5);
      programs.Bytes(5, event.hashes.sha1);
      event.loadAddress = static_cast<std::uint16_t>(programs.ColumnInt(7));
      event.size = static_cast<std::uint64_t>(programs.ColumnInt(8));
      event.rawCrc = static_cast<std::int32_t>(programs.ColumnInt(9));
      event.hashes.crc32 = static_cast<std::uint32_t>(programs.ColumnInt(10));
      event.sectorErrors = static_cast<std::uint32_t>(programs.ColumnInt(11));
      event.namesShown = static_cast<std::uint8_t>(programs.ColumnInt(12));
      kept.record.Add(event);
      program = programs.Step();
      continue;
    }
    const std::string_view kind = lines.ColumnView(1);
    const auto known = std::find_if(std::begin(kLineKinds), std::end(kLineKinds),
                                    [&](const auto& entry) { return entry.name == kind; });
    // A file that this run's DATs would hash whole, kept without its hashes.
    if (known == std::end(kLineKinds) ||
        (known->kind == RecordedEvent::Kind::kWholeFile && lines.IsNull(5) && index != nullptr &&
         index->WantsSize(static_cast<std::uint64_t>(lines.ColumnInt(4))))) {
      return std::nullopt;
    }
    event.kind = known->kind;
    event.member = lines.ColumnView(2);
    event.text = lines.ColumnView(3);
    event.size = static_cast<std::uint64_t>(lines.ColumnInt(4));
    event.hashed = !lines.IsNull(5);
    event.hashes.crc32 = static_cast<std::uint32_t>(lines.ColumnInt(5));
    lines.Bytes(7, event.hashes.sha1);
    kept.record.Add(event);
    line = lines.Step();
  }
  if (program != SQLITE_DONE || line != SQLITE_DONE) {
    Fail();
    return std::nullopt;
  }
  return kept;
}

bool CatalogueDb::DeleteRows(std::int64_t id) {
  Statements& s = *statements_;
  return s.deletePrograms.Reset().Int(FirstRow(id)).Int(LastRow(id)).Step() == SQLITE_DONE &&
         s.deleteLines.Reset().Int(FirstRow(id)).Int(LastRow(id)).Step() == SQLITE_DONE &&
         s.deleteFile.Reset().Int(id).Step() == SQLITE_DONE;
}

void CatalogueDb::Store(const FileStamp& stamp, const FileRecord& record) {
  if (!failure_.empty() || record.events >= static_cast<std::size_t>(kRowsPerFile) || !Begin()) {
    return;
  }
  Statements& s = *statements_;
  const auto failed = [this] { Fail(); };
  const auto insert = [&] {
    return s.insertFile.Reset()
        .Text(stamp.path)
        .Int(static_cast<std::int64_t>(stamp.size))
        .Int(stamp.modifiedNs)
        .Text(stamp.beside)
        .Int(record.hashes)
        .Step();
  };
  int step = insert();
  if (step == SQLITE_CONSTRAINT) {
    // The file has rows (an older reading, or this run's of the same file
    // named twice): they go, and the insert is made again.
    Statement& old = s.findFile.Reset().Text(stamp.path);
    step = old.Step();
    const std::int64_t oldId = old.ColumnInt(0);
    old.Reset();
    if (step != SQLITE_ROW || !DeleteRows(oldId)) {
      return failed();
    }
    step = insert();
  }
  if (step != SQLITE_DONE) {
    return failed();
  }
  const std::int64_t id = sqlite3_last_insert_rowid(db_);
  std::int64_t position = 0;
  RecordReader reader(record.rows);
  RecordedEvent event;
  while (reader.Next(event)) {
    const std::int64_t row = FirstRow(id) + position;
    if (event.kind == RecordedEvent::Kind::kProgram) {
      const ProgramHashes& hashes = event.hashes;
      step = s.insertProgram.Reset()
                 .Int(row)
                 .Int(id)
                 .Int(position++)
                 .Text(event.member)
                 .Text(event.imageName)
                 .Text(event.entryName)
                 .Int(event.namesShown)
                 .Text(event.format->name)
                 .Text(std::string_view(&event.format->marker, 1))
                 .Int(event.loadAddress)
                 .Int(static_cast<std::int64_t>(event.size))
                 .Int(event.rawCrc)
                 .Int(hashes.crc32, (record.hashes & kCrc32Hash) != 0)
                 .Blob(hashes.md5.data(), hashes.md5.size(), (record.hashes & kMd5Hash) != 0)
                 .Blob(hashes.sha1.data(), hashes.sha1.size(), (record.hashes & kSha1Hash) != 0)
                 .Int(event.sectorErrors)
                 .Step();
    } else {
      const auto kind = std::find_if(std::begin(kLineKinds), std::end(kLineKinds),
                                     [&](const auto& line) { return line.kind == event.kind; });
      const bool whole = event.kind == RecordedEvent::Kind::kWholeFile;
      step = s.insertLine.Reset()
                 .Int(row)
                 .Int(id)
                 .Int(position++)
                 .Text(kind->name)
                 .Text(event.member)
                 .Text(event.text)
                 .Int(static_cast<std::int64_t>(event.size), whole)
                 .Int(event.hashes.crc32, event.hashed)
                 .Blob(event.hashes.md5.data(), event.hashes.md5.size(), false)
                 .Blob(event.hashes.sha1.data(), event.hashes.sha1.size(), event.hashed)
                 .Step();
    }
    if (step != SQLITE_DONE) {
      return failed();
    }
  }
  if (++stored_ >= kFilesPerTransaction) {
    Commit();
  }
}

bool CatalogueDb::Track() {
  if (!failure_.empty()) {
    return false;
  }
  if (!tracking_) {
    tracking_ = true;
    // Temporary: they go with the connection.
    if (!Exec("CREATE TEMP TABLE found(path TEXT PRIMARY KEY) WITHOUT ROWID; "
              "CREATE TEMP TABLE kept(prefix TEXT PRIMARY KEY) WITHOUT ROWID;") ||
        !statements_->found.Prepare(db_, "INSERT OR IGNORE INTO found VALUES(?)")) {
      Fail();
      return false;
    }
  }
  return true;
}

void CatalogueDb::Found(const std::string& path) {
  if (Track() && statements_->found.Reset().Text(path).Step() != SQLITE_DONE) {
    Fail();
  }
}

void CatalogueDb::Unreadable(const std::string& folder) {
  if (folder.empty() || !Track()) {
    return;
  }
  Statement kept;
  if (!kept.Prepare(db_, "INSERT OR IGNORE INTO kept VALUES(?)") ||
      kept.Text(folder + PathSeparator()).Step() != SQLITE_DONE) {
    Fail();
  }
}

void CatalogueDb::Walked(const std::string& folder) {
  if (!folder.empty()) {
    walked_.push_back(folder);
  }
}

void CatalogueDb::Finish() {
  if (!walked_.empty() && Track()) {
    if (!Begin() || !Exec("CREATE TEMP TABLE IF NOT EXISTS gone(id INTEGER PRIMARY KEY); DELETE FROM gone;")) {
      return Fail();
    }
    Statement gone;
    if (!gone.Prepare(db_,
                      "INSERT OR IGNORE INTO gone SELECT id FROM files WHERE path >= ? AND path < ? "
                      "AND path NOT IN (SELECT path FROM found) AND NOT EXISTS (SELECT 1 FROM kept "
                      "WHERE substr(files.path, 1, length(kept.prefix)) = kept.prefix)")) {
      return Fail();
    }
    for (std::string folder : walked_) {
      if (folder.back() != PathSeparator()) {
        folder += PathSeparator();
      }
      std::string end = folder;
      end.back() = static_cast<char>(end.back() + 1);
      if (gone.Reset().Text(folder).Text(end).Step() != SQLITE_DONE) {
        return Fail();
      }
    }
    Statement ids;
    if (!ids.Prepare(db_, "SELECT id FROM gone")) {
      return Fail();
    }
    int step = SQLITE_ROW;
    while ((step = ids.Step()) == SQLITE_ROW) {
      if (!DeleteRows(ids.ColumnInt(0))) {
        return Fail();
      }
    }
    if (step != SQLITE_DONE) {
      return Fail();
    }
  }
  if (failure_.empty() && inTransaction_) {
    Commit();
  }
}

}  // namespace zumtal
