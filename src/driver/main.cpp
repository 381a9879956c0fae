#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "driver/command_line.h"
#endif

#include "base/run_failure.h"
#include "driver/run.h"
#include "report/error_output.h"
#include "report/output.h"

int main(int argc, char** argv) {
  using namespace zumtal;
  Output out(OpenStandardOutput());
  ErrorOutput err(OpenStandardError());
  try {
#ifdef _WIN32
    // The program splits its own command line, and skips its own path.
    (void)argc;
    (void)argv;
    std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
    args.erase(args.begin(), args.begin() + (args.empty() ? 0 : 1));
#else
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
    const int status = Run(args, out, err);
    out.Flush();
    return status;
  } catch (const RunFailure& failure) {
    // The run has put the failure in its layout after what was written
    // before; if standard output itself failed, nothing more can follow.
    out.TryFlush();
    return failure.Code();
  }
}
