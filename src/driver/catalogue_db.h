// --db FILE: the catalogue kept in an SQLite database. Per file found on
// the disk (by absolute path, size and modification time) it holds what
// cataloguing the file found, so that a later run plays that back instead
// of reading the file again. One run at a time holds the database.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/file_stamp.h"
#include "report/file_record.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zumtal {

class MatchIndex;

// A file's rows as the catalogue holds them, copied out on the thread that
// owns the database and played back on another.
struct KeptFile {
  std::string name;  // the file as this run names it
  FileRecord record;
};

// zumtal's SQLite application_id ("ZMTL") and the schema's version.
inline constexpr int kCatalogueApplicationId = 0x5A4D544C;
inline constexpr int kCatalogueSchemaVersion = 3;

class CatalogueDb {
 public:
  // Opens FILE (creating it when absent) and takes its lock, waiting up to
  // five seconds for another run to let it go. nullptr when it cannot be
  // used, with `error` the one line that says why; the file is then left as
  // it was. A catalogue of an older schema is rebuilt, and `notice` says so.
  static std::unique_ptr<CatalogueDb> Open(const std::string& file, std::string& error, std::string& notice);
  // Commits what is stored and lets the database go.
  ~CatalogueDb();
  CatalogueDb(const CatalogueDb&) = delete;
  CatalogueDb& operator=(const CatalogueDb&) = delete;

  // A file's row, found by its absolute path.
  struct FileRow {
    std::int64_t id = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    HashSet hashes = 0;
    std::string beside;
  };
  std::optional<FileRow> Look(const std::string& path);
  // The rows of a file whose row holds its stamp and the program hashes
  // `needs`, to be given the names of `name` (the file as this run names
  // it); nothing otherwise. With --match, a file that `index` would hash
  // whole must have been hashed.
  std::optional<KeptFile> Find(const FileRow& row, const FileStamp& stamp, const std::string& name, HashSet needs,
                               const MatchIndex* index);
  // Replaces the file's rows by the record, whole or not at all.
  void Store(const FileStamp& stamp, const FileRecord& record);

  // For -r: a file found by the walk, a folder that could not be read, and
  // a folder walked whole. Finish deletes the rows of files below a walked
  // folder that were not found, except below a folder that could not be read.
  void Found(const std::string& path);
  void Unreadable(const std::string& folder);
  void Walked(const std::string& folder);
  void Finish();

  // Empty, or the line about the database going wrong during the run;
  // from then on it is not used.
  const std::string& Failure() const { return failure_; }

 private:
  CatalogueDb(sqlite3* db, std::string file);
  bool Prepare();
  bool Exec(const char* sql);
  void Fail();
  bool Begin();
  void Commit();
  bool DeleteRows(std::int64_t id);
  // Makes the tables of Found and Unreadable, once.
  bool Track();

  sqlite3* db_;
  std::string file_;
  std::string failure_;
  bool inTransaction_ = false;
  int stored_ = 0;  // in the open transaction
  std::vector<std::string> walked_;
  bool tracking_ = false;    // the temporary tables of Found exist
  bool holdsFiles_ = false;  // when opened
  struct Statements;
  std::unique_ptr<Statements> statements_;
};

}  // namespace zumtal
