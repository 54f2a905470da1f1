#include "tools/child_process.hpp"

#include "support/helper_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tavrino::testing {
namespace {

std::filesystem::path freshErrorFile() {
  static std::atomic<int> serial{0};
  return std::filesystem::temp_directory_path() /
         ("tavrino-child-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".err");
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : errorFile_(freshErrorFile()) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  output_ = ends[0];
  if (rc != 0) {
    close(output_);
    throw std::runtime_error("cannot start " + program);
  }
}

ChildProcess::~ChildProcess() {
  if (!exitCode_) {
    ::kill(pid_, SIGKILL);
    finish(std::chrono::seconds(10));
  }
  close(output_);
  std::error_code ignored;
  std::filesystem::remove(errorFile_, ignored);
}

bool ChildProcess::readSome(std::chrono::milliseconds timeout) {
  pollfd ready{output_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return true;
  char chunk[4096];
  const ssize_t n = read(output_, chunk, sizeof chunk);
  if (n <= 0) return false;
  buffered_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  return testing::readLineFrom(output_, buffered_, timeout);
}

void ChildProcess::signal(int number) {
  if (!exitCode_) ::kill(pid_, number);
}

int ChildProcess::finish(std::chrono::milliseconds timeout) {
  if (exitCode_) return *exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool open = true;
  while (open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(pid_, SIGKILL);
      break;
    }
    open = readSome(std::min(left, std::chrono::milliseconds(200)));
  }
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  while (readSome(std::chrono::milliseconds(0))) {
    pollfd ready{output_, POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0) break;
  }
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return *exitCode_;
}

std::string ChildProcess::errors() const {
  std::ifstream in(errorFile_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Finished runProgram(const std::string& program, const std::vector<std::string>& args,
                    std::chrono::milliseconds timeout) {
  ChildProcess child(program, args);
  Finished finished;
  finished.exitCode = child.finish(timeout);
  finished.output = child.output();
  finished.errors = child.errors();
  return finished;
}

}  // namespace tavrino::testing
