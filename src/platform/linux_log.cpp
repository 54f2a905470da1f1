#include "platform/linux_log.hpp"

#include <ctime>
#include <string>

#include <unistd.h>

namespace tavrino::platform {

LinuxLog::LinuxLog(std::shared_ptr<Clock> clock, std::FILE* logStream, std::FILE* consoleStream)
    : clock_(std::move(clock)), logStream_(logStream), consoleStream_(consoleStream) {}

void LinuxLog::write(std::FILE* stream, const std::string& text) {
  std::lock_guard lock(mu_);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void LinuxLog::log(std::string_view line) {
  const auto now = clock_->now();
  const std::time_t seconds =
      static_cast<std::time_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
  const long millis = static_cast<long>((now.count() / 1000) % 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[64];
  const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::string text(stamp, n);
  char tail[48];
  std::snprintf(tail, sizeof tail, ".%03ld tavrino[%d] ", millis, static_cast<int>(getpid()));
  text += tail;
  text.append(line);
  text += '\n';
  write(logStream_, text);
}

void LinuxLog::console(std::string_view line) {
  std::string text(line);
  text += '\n';
  write(consoleStream_, text);
}

}  // namespace tavrino::platform
