// The container readers. Each reads the open input file through its
// primitives and hands one report per program found to the report writer.
#pragma once

#include <string>
#include <string_view>

#include "readers/input_file.h"
#include "report/entry_report.h"

namespace zumtal {

// The names a reader is given for one container.
struct ContainerNames {
  // The PC file name field: the name as found (a path, ARCHIVE/MEMBER, or a
  // compressed file's own name).
  std::string_view pcFileName;
  // The container's own bare name: the last component of its (inner) name,
  // which single-program containers and archives report as their image name.
  std::string_view bareName;
};

using Reader = void (*)(InputFile& in, ReportWriter& reports, const ContainerNames& names);

void ReadPrg(InputFile& in, ReportWriter& reports, const ContainerNames& names);
void ReadT64(InputFile& in, ReportWriter& reports, const ContainerNames& names);
void ReadD64(InputFile& in, ReportWriter& reports, const ContainerNames& names);
void ReadD71(InputFile& in, ReportWriter& reports, const ContainerNames& names);
void ReadD81(InputFile& in, ReportWriter& reports, const ContainerNames& names);
void ReadP00(InputFile& in, ReportWriter& reports, const ContainerNames& names);
// A PC64 file of another type (sequential, user, relative, deleted): it holds
// no program, so there is nothing to report.
void ReadPc64NonProgram(InputFile& in, ReportWriter& reports, const ContainerNames& names);
// A file with no Lynx signature gets the not-a-C64-file line.
void ReadLnx(InputFile& in, ReportWriter& reports, const ContainerNames& names);
void ReadG64(InputFile& in, ReportWriter& reports, const ContainerNames& names);

// The upper-cased last four bytes of a name (all of it when shorter): the
// key that selects a reader.
std::string ExtensionKey(std::string_view fileName);

// The reader that an upper-cased extension key (".D64") selects, or nullptr
// when no reader reads it.
Reader FindReader(std::string_view extensionKey);

}  // namespace zumtal
