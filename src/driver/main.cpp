#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "driver/command_line.h"
#endif

#include "driver/run.h"
#include "driver/run_failure.h"
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
    // What was written before the failure goes out first, then the failure
    // lines; if standard output itself failed, they cannot follow.
    for (const auto& line : FailureLines(failure, out.IsTerminal() ? 9 : 257)) {
      out.Write(line);
      out.Write("\r\n");
    }
    out.TryFlush();
    return failure.Code();
  }
}
