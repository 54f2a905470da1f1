#pragma once

#include <cstdio>
#include <memory>
#include <mutex>

#include "tavrino/platform/clock.hpp"
#include "tavrino/platform/log.hpp"

namespace tavrino::platform {

// Platform log lines go to standard error behind a timestamp and the process
// id; console lines go to standard output as they are.
class LinuxLog final : public Log {
 public:
  explicit LinuxLog(std::shared_ptr<Clock> clock, std::FILE* logStream = stderr,
                    std::FILE* consoleStream = stdout);

  void log(std::string_view line) override;
  void console(std::string_view line) override;

 private:
  void write(std::FILE* stream, const std::string& text);

  std::shared_ptr<Clock> clock_;
  std::FILE* logStream_;
  std::FILE* consoleStream_;
  std::mutex mu_;
};

}  // namespace tavrino::platform
