// The container formats, one row each, and their readers. Each reader reads
// the open input file through its primitives and hands every program it
// finds to a program sink.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_failure.h"
#include "readers/input_file.h"
#include "readers/program_sink.h"

namespace zumtal {

struct ContainerNames;
using Reader = void (*)(InputFile& in, ProgramSink& sink, const ContainerNames& names);

// A file beside another is read up to this many bytes: more than any
// format that reads the files beside its own ever needs of them.
inline constexpr std::size_t kSiblingBytes = 48 * 1024;
// The most files beside its own that a reader asks for.
inline constexpr std::size_t kMostSiblings = 3;

// The files beside the one being read: in its folder, or in its archive's
// folder. Only the names that its format's row lists can be had.
class Siblings {
 public:
  // Whether the file of this bare name is there and could be opened.
  virtual bool Has(std::string_view bareName) = 0;
  // Its first kSiblingBytes bytes (all of it when shorter), once; nullptr
  // when it is not there, cannot be read, or was opened before.
  virtual std::unique_ptr<InputFile> Open(std::string_view bareName) = 0;

 protected:
  ~Siblings() = default;
};

// One container format.
struct Format {
  // Its name as the machine-readable layouts write it ("D64").
  std::string_view name;
  // The upper-cased extension keys it is read by, blank-separated; '#'
  // stands for any digit (".P##").
  std::string_view keys;
  // The long block's marker of the two name labels.
  char marker;
  Reader read;
  // Its line in --help: the extensions as shown, and what it is.
  std::string_view helpNames;
  std::string_view help;
  // Which files of its extension it reads, by bare name (nullptr: all).
  bool (*takes)(std::string_view bareName) = nullptr;
  // For a format read with the files beside its own: their bare names for
  // a file of this bare name, at most kMostSiblings (nullptr: none).
  std::vector<std::string> (*beside)(std::string_view bareName) = nullptr;
  // Whether a file is reported as part of another, beside it, and so
  // writes nothing at all, not even its key line (nullptr: never).
  bool (*reportedElsewhere)(const ContainerNames& names) = nullptr;
};

// The names a reader is given for one container.
struct ContainerNames {
  // The PC file name field: the name as found (a path, ARCHIVE/MEMBER, or a
  // compressed file's own name).
  std::string_view pcFileName;
  // The container's own bare name: the last component of its (inner) name,
  // which single-program containers and archives report as their image name.
  std::string_view bareName;
  // The format's row: the reader's programs are reported as of this format.
  const Format& format;
  // The files beside it, for a format whose row lists them; nullptr when
  // they cannot be had (a compressed file's content).
  Siblings* siblings = nullptr;
};

// Reads one program of a container with `read`, which fills `report`, and
// hands it to the sink. Damage inside the program goes to the sink, which
// may keep going past it; damage to the container itself is thrown on.
template <typename Read>
void ReadProgram(ProgramSink& sink, EntryReport& report, const Format& format, Read read) {
  try {
    read();
  } catch (const RunFailure& damage) {
    if (!damage.IsReadFailure() || !sink.ProgramDamaged(report, format, damage.Reading())) {
      throw;
    }
    return;
  }
  sink.EndProgram(report, format);
}

// The report of a file that holds one program under a name stored at
// `nameAt` (`nameLength` bytes): the file's bare name is its image name.
EntryReport OneProgramReport(InputFile& in, const ContainerNames& names, std::uint64_t nameAt, std::size_t nameLength);

// Every format, in the order --help lists them. A key that two rows match
// belongs to the earlier one.
std::span<const Format> Formats();

// The upper-cased last four bytes of a name (all of it when shorter): the
// key that selects a format, and the key line before a file's reports.
std::string ExtensionKey(std::string_view fileName);

// The format that reads a file of this name, or nullptr: by the end of the
// name, and the format's own rule on its last component.
const Format* FindFormat(std::string_view fileName);

void ReadPrg(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadT64(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadTap(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadD64(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadD71(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadD81(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadG64(InputFile& in, ProgramSink& sink, const ContainerNames& names);
// A NIB without its signature, or an NBZ that decompresses to one, gets the
// not-a-C64-file line.
void ReadNib(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadNbz(InputFile& in, ProgramSink& sink, const ContainerNames& names);
// A Zipcode set, read under its 1! file with the three others beside it;
// the others write nothing when their 1! file is beside them, else a line
// that says it is not.
void ReadZipcode(InputFile& in, ProgramSink& sink, const ContainerNames& names);
bool ZipcodeTakes(std::string_view bareName);
std::vector<std::string> ZipcodeBeside(std::string_view bareName);
bool ZipcodeReportedElsewhere(const ContainerNames& names);
void ReadP00(InputFile& in, ProgramSink& sink, const ContainerNames& names);
// A PC64 file of another type (sequential, user, relative, deleted): it holds
// no program, so there is nothing to report.
void ReadPc64NonProgram(InputFile& in, ProgramSink& sink, const ContainerNames& names);
// A file with no Lynx signature gets the not-a-C64-file line.
void ReadLnx(InputFile& in, ProgramSink& sink, const ContainerNames& names);
// A cartridge image (one report for all its ROM chips) and a SID tune; any
// other signature gets the not-a-C64-file line.
void ReadCrt(InputFile& in, ProgramSink& sink, const ContainerNames& names);
void ReadSid(InputFile& in, ProgramSink& sink, const ContainerNames& names);

}  // namespace zumtal
