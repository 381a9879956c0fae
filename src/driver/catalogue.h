// Cataloguing one input: a file from the disk, or what an archive holds.
// Everything it needs is passed in: the input, its names, and the context.
#pragma once

#include <string_view>

#include "readers/input_file.h"
#include "report/report_writer.h"

namespace zumtal {

// Archives inside archives are read down to this level; an archive on the
// disk is level 1.
inline constexpr int kMaxArchiveLevel = 8;

struct CatalogueContext {
  // Also says whether the run keeps going past damage (-k).
  ReportWriter& reports;
};

// Catalogues the open input `in`. `pcFileName` is its name in the reports
// (a path, ARCHIVE/MEMBER, or a gzip file's own name); `innerName` is the
// name whose end selects its format, and whose last component is its bare
// name; `depth` is the number of archives around it. An archive writes no
// key line of its own: each container in it is catalogued in turn.
// `siblings`, when given, are the files beside it that its format's row
// lists. Returns 0, or 100 when a read failure was kept going past; every
// other failure ends the run.
int CatalogueInput(InputFile& in, std::string_view pcFileName, std::string_view innerName, int depth,
                   const CatalogueContext& context, Siblings* siblings = nullptr);

}  // namespace zumtal
