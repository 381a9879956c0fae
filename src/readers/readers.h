// The container readers. Each reads the open input file through its
// primitives and hands one report per program found to the report writer.
#pragma once

#include <string_view>

#include "readers/input_file.h"
#include "report/entry_report.h"

namespace zumtal {

void ReadPrg(InputFile& in, ReportWriter& reports, std::string_view fileName);
void ReadT64(InputFile& in, ReportWriter& reports, std::string_view fileName);
void ReadD64(InputFile& in, ReportWriter& reports, std::string_view fileName);

}  // namespace zumtal
