#include <new>
#include <string>
#include <vector>

#include "driver/run.h"
#include "driver/run_failure.h"
#include "report/output.h"

int main(int argc, char** argv) {
  using namespace zumtal;
  Output out(OpenStandardOutput());
  try {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = Run(args, out);
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
