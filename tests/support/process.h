// Runs the built program in a directory of its own and captures what it
// writes, with a time limit so that a hang fails the test instead of CI.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zumtal::testing {

// Where standard output goes: a pipe read to its end, /dev/full, nowhere
// (closed), or a pipe whose reading end is already gone.
enum class Stdout { kPipe, kDevFull, kClosed, kPipeClosedEarly };

struct RunResult {
  std::string output;
  std::string errors;  // what went to standard error
  int status = -1;     // exit status; 1000 + signal when killed (1014: hung)
  long maxRssKb = 0;   // peak resident memory of the run
};

struct TempDir {
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zumtal-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }

  const std::filesystem::path& path() const { return path_; }
  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::filesystem::path path_;
};

// Seconds after which a run counts as hung. The sanitizers slow every byte
// read several times over: a 2 GiB file takes a minute under ThreadSanitizer
// on a busy machine.
#ifdef ZUMTAL_SANITIZED
inline constexpr unsigned kHungAfter = 300;
#else
inline constexpr unsigned kHungAfter = 60;
#endif

// Starts the program in `dir`, its standard output on `out` (closed when
// -1) and its standard error on `errors`; with `fileLimit`, no file it
// writes may grow past that many bytes (a write past it fails).
inline pid_t StartProgram(const std::filesystem::path& dir, std::vector<std::string> args, int out, int errors,
                          rlim_t fileLimit = RLIM_INFINITY) {
  args.insert(args.begin(), ZUMTAL_BINARY);
  std::vector<char*> argv;
  for (auto& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    out < 0 ? close(1) : dup2(out, 1);
    dup2(errors, 2);
    signal(SIGPIPE, SIG_DFL);
    alarm(kHungAfter);             // survives exec: a hung run dies of SIGALRM
    const rlimit files{256, 256};  // a descriptor kept per file or folder runs out
    setrlimit(RLIMIT_NOFILE, &files);
    if (fileLimit != RLIM_INFINITY) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit size{fileLimit, fileLimit};
      setrlimit(RLIMIT_FSIZE, &size);
    }
    if (chdir(dir.c_str()) == 0) {
      execv(argv[0], argv.data());
    }
    _exit(127);
  }
  return pid;
}

inline RunResult RunProgram(const std::filesystem::path& dir, std::vector<std::string> args,
                            Stdout mode = Stdout::kPipe, rlim_t fileLimit = RLIM_INFINITY) {
  int fds[2];
  char errorsPath[] = "/tmp/zumtal-stderr-XXXXXX";  // read after the run
  const int errorsFd = mkstemp(errorsPath);
  if (pipe(fds) != 0 || errorsFd < 0) {
    return {};
  }
  if (mode == Stdout::kPipeClosedEarly) {  // nothing to read from the start
    close(fds[0]);
    fds[0] = open("/dev/null", O_RDONLY);
  }
  const int out = mode == Stdout::kDevFull ? open("/dev/full", O_WRONLY) : mode == Stdout::kClosed ? -1 : fds[1];
  const pid_t pid = StartProgram(dir, std::move(args), out, errorsFd, fileLimit);
  if (mode == Stdout::kDevFull) {
    close(out);
  }
  close(fds[1]);
  RunResult result;
  char buffer[65536];
  for (ssize_t count; (count = read(fds[0], buffer, sizeof buffer)) > 0;) {
    result.output.append(buffer, static_cast<std::size_t>(count));
  }
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.maxRssKb = usage.ru_maxrss;
  std::ifstream errors(errorsPath, std::ios::binary);
  result.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
  close(errorsFd);
  unlink(errorsPath);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return result;
}

}  // namespace zumtal::testing
