// The container formats, one row each, and their readers. Each reader reads
// the open input file through its primitives and hands every program it
// finds to a program sink.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/run_failure.h"
#include "readers/input_file.h"
#include "readers/program_sink.h"

namespace zumtal {

struct ContainerNames;
using Reader = void (*)(InputFile& in, ProgramSink& sink, const ContainerNames& names);

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

// Every format, in the order --help lists them. A key that two rows match
// belongs to the earlier one.
std::span<const Format> Formats();

// The upper-cased last four bytes of a name (all of it when shorter): the
// key that selects a format, and the key line before a file's reports.
std::string ExtensionKey(std::string_view fileName);

// The format that reads a file of this name, or nullptr.
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
