// A second process for the store tests: tavrino_store_writer DIR SUITE COMMAND KEY [ARG [MS]]
//   keys PREFIX COUNT    sets PREFIX<i> to i, one write each
//   set KEY TEXT, remove KEY
//   hold KEY TEXT MS     sets KEY in a transaction that keeps the write lock MS
//                        milliseconds; prints "holding" once it has the lock
// It waits for its standard input to close before opening the suite, so that
// a test can start several at once, and ends without closing anything, as a
// crash would. Exits 0 iff all went well and nothing was logged.

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/sqlite_user_defaults.hpp"

namespace {

struct StderrLog final : tavrino::platform::Log {
  void log(std::string_view line) override {
    ++lines;
    std::fprintf(stderr, "store writer: %.*s\n", static_cast<int>(line.size()), line.data());
  }
  void console(std::string_view line) override { log(line); }
  std::atomic<int> lines{0};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  static StderrLog log;
  auto defaults = tavrino::platform::makeSqliteUserDefaults(argv[1], log);
  auto suite = defaults->suite(argv[2]);
  const std::string command = argv[3], key = argv[4], argument = argc > 5 ? argv[5] : "";
  bool ok = true;
  if (command == "keys") {
    for (int i = 0; i < std::atoi(argument.c_str()); ++i) suite->set(key + std::to_string(i), i);
  } else if (command == "set") {
    suite->set(key, argument);
  } else if (command == "remove") {
    suite->remove(key);
  } else if (command == "hold") {
    suite->transaction([&] {
      suite->set(key, argument);
      std::printf("holding\n");
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(argc > 6 ? std::atoi(argv[6]) : 0));
    });
  } else {
    ok = false;
  }
  std::fflush(stderr);
  _exit(ok && log.lines == 0 && suite->isPersistent() ? 0 : 1);
}
