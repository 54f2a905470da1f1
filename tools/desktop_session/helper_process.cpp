#include "desktop_session/helper_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tavrino::testing {

HelperProcess::HelperProcess(const std::string& program, const std::vector<std::string>& args,
                             bool gated, bool keepErrors) {
  static std::atomic<int> serial{0};
  int pipeEnds[2];
  int gate[2] = {-1, -1};
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (gated && pipe2(gate, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (gated) {
    posix_spawn_file_actions_adddup2(&actions, gate[0], STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  if (keepErrors) {
    errorFile_ = std::filesystem::temp_directory_path() /
                 ("tavrino-helper-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }

  std::vector<std::string> argvTexts{program};
  argvTexts.insert(argvTexts.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : argvTexts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  output_ = pipeEnds[0];
  if (gated) close(gate[0]);
  input_ = gate[1];
  if (rc != 0) {
    close(output_);
    release();
    throw std::runtime_error("cannot start " + program);
  }
}

HelperProcess::~HelperProcess() {
  release();
  finish(std::chrono::minutes(1));
  close(output_);
  std::error_code ignored;
  if (!errorFile_.empty()) std::filesystem::remove(errorFile_, ignored);
}

void HelperProcess::release() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void HelperProcess::signal(int number) {
  if (!exitCode_) ::kill(pid_, number);
}

std::optional<std::string> readLineFrom(int fd, std::string& buffered,
                                        std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (const auto newline = buffered.find('\n'); newline != std::string::npos) {
      std::string line = buffered.substr(0, newline);
      buffered.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffered.append(chunk, static_cast<std::size_t>(n));
  }
}

std::optional<std::string> HelperProcess::readLine(std::chrono::milliseconds timeout) {
  return readLineFrom(output_, buffered_, timeout);
}

int HelperProcess::wait() {
  if (!exitCode_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return *exitCode_;
}

int HelperProcess::finish(std::chrono::milliseconds timeout) {
  if (exitCode_) return *exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (bool open = true; open;) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      break;
    }
    pollfd ready{output_, POLLIN, 0};
    if (poll(&ready, 1, 200) <= 0) continue;
    char chunk[4096];
    const ssize_t n = read(output_, chunk, sizeof chunk);
    open = n > 0;
    if (open) buffered_.append(chunk, static_cast<std::size_t>(n));
  }
  return wait();
}

std::string HelperProcess::errors() const {
  std::ifstream in(errorFile_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Finished runProgram(const std::string& program, const std::vector<std::string>& args,
                    std::chrono::milliseconds timeout) {
  HelperProcess child(program, args, false, true);
  const int exitCode = child.finish(timeout);
  return {exitCode, child.output(), child.errors()};
}

}  // namespace tavrino::testing
