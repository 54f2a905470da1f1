#pragma once

// A helper program (tests/*/*_main.cpp) run as a second process. Its
// standard output is read line by line; its standard input is empty, or,
// when gated, a pipe that stays open until release(), so that helpers that
// wait for the end of their input can be let go together.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tavrino::testing {

// Returns the next line read from fd (without its newline), keeping what
// follows in buffered; nothing when the output ended or timeout passed first.
std::optional<std::string> readLineFrom(int fd, std::string& buffered,
                                        std::chrono::milliseconds timeout);

class HelperProcess {
 public:
  // Starts program with args. Throws when it cannot be started.
  HelperProcess(const std::string& program, const std::vector<std::string>& args,
                bool gated = false);
  // Waits for the process unless wait() already did.
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // Returns the next line the process printed (without its newline), or
  // nothing when it ended its output or timeout passed first.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);

  // Closes the standard input of a gated process.
  void release();

  // Waits for the process to end. Returns its exit code, or -1 when a signal
  // ended it.
  int wait();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  int input_ = -1;
  std::string buffered_;
  std::optional<int> exitCode_;
};

}  // namespace tavrino::testing
