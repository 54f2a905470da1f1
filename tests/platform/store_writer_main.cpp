// A second process for the user-defaults tests.
//
//   tavrino_store_writer DIR SUITE keys PREFIX COUNT   sets PREFIX<i> to i, one write each
//   tavrino_store_writer DIR SUITE increment KEY COUNT adds 1 to KEY COUNT times, each in a
//                                                      transaction
//   tavrino_store_writer DIR SUITE set KEY TEXT
//   tavrino_store_writer DIR SUITE remove KEY
//   tavrino_store_writer DIR SUITE expect KEY TEXT     fails unless KEY holds TEXT
//   tavrino_store_writer DIR SUITE hold KEY TEXT MS    sets KEY to TEXT in a transaction
//                                                      that keeps the write lock MS
//                                                      milliseconds; prints "holding" once
//                                                      it has the lock
//
// It waits for its standard input to close before opening the suite, so that
// a test can start several at once, and ends without closing anything, as a
// crash would. Exits 0 iff all went well and nothing was logged.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "platform/sqlite_user_defaults.hpp"

namespace {

class StderrLog final : public tavrino::platform::Log {
 public:
  void log(std::string_view line) override {
    ++lines;
    std::fprintf(stderr, "store writer: %.*s\n", static_cast<int>(line.size()), line.data());
  }
  void console(std::string_view line) override { log(line); }
  std::atomic<int> lines{0};
};

[[noreturn]] void finish(int code) {
  std::fflush(stderr);
  _exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s DIR SUITE COMMAND ARGS...\n", argv[0]);
    finish(2);
  }
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }

  static StderrLog log;
  auto defaults = tavrino::platform::makeSqliteUserDefaults(argv[1], log);
  auto suite = defaults->suite(argv[2]);
  const std::string_view command = argv[3];
  const std::string key = argv[4];
  const std::string argument = argc > 5 ? argv[5] : "";
  bool ok = true;
  if (command == "keys") {
    const int count = std::atoi(argument.c_str());
    for (int i = 0; i < count; ++i) suite->set(key + std::to_string(i), i);
  } else if (command == "increment") {
    const int count = std::atoi(argument.c_str());
    for (int i = 0; i < count; ++i) {
      suite->transaction([&] {
        const auto current = suite->object(key);
        suite->set(key, (current ? current->get<int>() : 0) + 1);
      });
    }
  } else if (command == "set") {
    suite->set(key, argument);
  } else if (command == "remove") {
    suite->remove(key);
  } else if (command == "hold") {
    const int milliseconds = argc > 6 ? std::atoi(argv[6]) : 0;
    suite->transaction([&] {
      suite->set(key, argument);
      std::printf("holding\n");
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    });
  } else if (command == "expect") {
    ok = suite->string(key) == argument;
  } else {
    ok = false;
  }
  finish(ok && log.lines == 0 && suite->isPersistent() ? 0 : 1);
}
