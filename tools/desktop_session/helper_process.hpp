#pragma once

// A helper or tool program run as a second process. Its standard output is
// read line by line or to its end; its standard error is inherited, or kept
// in a file; its standard input is empty, or, when gated, a pipe that stays
// open until release(), so that helpers that wait for the end of their input
// can be let go together.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
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
                bool gated = false, bool keepErrors = false);
  // Releases the process and gives it a minute to end before killing it.
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // Returns the next line the process printed (without its newline), or
  // nothing when it ended its output or timeout passed first.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);

  // Closes the standard input of a gated process.
  void release();
  void signal(int number);

  // Waits for the process to end. Returns its exit code, or -1 when a signal
  // ended it.
  int wait();
  // Reads the rest of the output and waits for the end, killing the process
  // when timeout passes first.
  int finish(std::chrono::milliseconds timeout);

  // The output read so far (all of it after finish()), minus what
  // readLine() returned.
  const std::string& output() const { return buffered_; }
  // Standard error, when kept.
  std::string errors() const;

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  int input_ = -1;
  std::filesystem::path errorFile_;
  std::string buffered_;
  std::optional<int> exitCode_;
};

struct Finished {
  int exitCode = -1;
  std::string output;
  std::string errors;
};

// Runs program to its end (killed after timeout), keeping both streams.
Finished runProgram(const std::string& program, const std::vector<std::string>& args,
                    std::chrono::milliseconds timeout);

}  // namespace tavrino::testing
