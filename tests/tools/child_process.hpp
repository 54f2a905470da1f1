#pragma once

// A tool binary run as a child process: its standard output read as it
// comes, its standard error kept in a file, stopped by a signal or by its
// own end.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavrino::testing {

class ChildProcess {
 public:
  // Starts program with args. Throws when it cannot be started.
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  // Kills the process if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output, or nothing when the output ended or
  // timeout passed.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  void signal(int number);
  // Reads the rest of the output and waits for the end, killing the process
  // when timeout passes first. Returns the exit code, -1 for a signal.
  int finish(std::chrono::milliseconds timeout);

  // The output read so far (all of it after finish()), minus what
  // readLine() returned.
  const std::string& output() const { return buffered_; }
  std::string errors() const;

 private:
  bool readSome(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int output_ = -1;
  std::filesystem::path errorFile_;
  std::string buffered_;
  std::optional<int> exitCode_;
};

struct Finished {
  int exitCode = -1;
  std::string output;
  std::string errors;
};

// Runs program to its end (killed after timeout).
Finished runProgram(const std::string& program, const std::vector<std::string>& args,
                    std::chrono::milliseconds timeout);

}  // namespace tavrino::testing
