// Runs the built program in a directory of its own and captures what it
// writes, with a time limit so that a hang fails the test instead of CI.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zumtal::testing {

enum class Stdout { kPipe, kDevFull, kClosed, kPipeClosedEarly };

struct RunResult {
  std::string output;
  std::string errors;  // what went to standard error
  int status = -1;     // exit status; 1000 + signal when killed
  bool timedOut = false;
  long maxRssKb = 0;  // peak resident memory of the run
};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zumtal-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path path_;
};

inline RunResult RunProgram(const std::filesystem::path& dir, const std::vector<std::string>& args,
                            Stdout mode = Stdout::kPipe, unsigned seconds = 30) {
  int fds[2] = {-1, -1};
  if (pipe(fds) != 0) {
    return {};
  }
  // Standard error goes to a file of its own, read after the run.
  char errorsPath[] = "/tmp/zumtal-stderr-XXXXXX";
  const int errorsFd = mkstemp(errorsPath);
  std::vector<std::string> argvStorage{ZUMTAL_BINARY};
  argvStorage.insert(argvStorage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argvStorage) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (mode == Stdout::kPipeClosedEarly) {
      // Write nothing before the reading end is gone.
      pollfd writer{fds[1], POLLOUT, 0};
      while (poll(&writer, 1, 10000) >= 0 && (writer.revents & POLLERR) == 0) {
      }
    }
    if (mode == Stdout::kDevFull) {
      dup2(open("/dev/full", O_WRONLY), 1);
    } else if (mode == Stdout::kClosed) {
      close(1);
    } else {
      dup2(fds[1], 1);
    }
    close(fds[1]);
    dup2(errorsFd, 2);
    signal(SIGPIPE, SIG_DFL);
    // The time limit survives exec: a hung run dies of SIGALRM.
    alarm(seconds);
    if (chdir(dir.c_str()) == 0) {
      execv(argv[0], argv.data());
    }
    _exit(127);
  }
  close(fds[1]);
  if (mode == Stdout::kPipeClosedEarly) {
    close(fds[0]);
    fds[0] = -1;
  }
  RunResult result;
  char buffer[65536];
  ssize_t count = 0;
  while (fds[0] >= 0 && (count = read(fds[0], buffer, sizeof buffer)) > 0) {
    result.output.append(buffer, static_cast<std::size_t>(count));
  }
  if (fds[0] >= 0) {
    close(fds[0]);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.maxRssKb = usage.ru_maxrss;
  std::ifstream errors(errorsPath, std::ios::binary);
  result.errors.assign(std::istreambuf_iterator<char>(errors), std::istreambuf_iterator<char>());
  close(errorsFd);
  unlink(errorsPath);
  result.timedOut = WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return result;
}

}  // namespace zumtal::testing
