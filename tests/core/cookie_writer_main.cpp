// Writes the SDK's cookies from a process of its own, for the tests of two
// processes sharing one store.
//
//   tavrino_cookie_writer DIR ic NAME COUNT              ic on NAME COUNT times
//   tavrino_cookie_writer DIR unique ZBID CLICKID PREFIX COUNT
//                                                        adds the unique markers PREFIX0..
//
// Prints "ready" once the platform is up, then waits for its standard input
// to close, so that a test can release several at once. Exits 0 iff it wrote.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tavrino/platform/linux.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

int main(int argc, char** argv) {
  using namespace tavrino;
  if (argc < 5) return 2;
  platform::install(platform::makeLinuxPlatform({.dataDirectory = argv[1], .clock = nullptr}));
  Util::qivDefaults();
  std::printf("ready\n");
  std::fflush(stdout);
  char buffer[64];
  while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }

  const std::string_view command = argv[2];
  int code = 0;
  if (command == "ic" && argc == 5) {
    const int count = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i)
      QivUtil().ic({{"cookie_name", argv[3]}, {"cookie_value", "0"}, {"cookie_timeout", "0"}});
  } else if (command == "unique" && argc == 7) {
    const int count = std::atoi(argv[6]);
    for (int i = 0; i < count; ++i) {
      Util::addUniqueCookie(argv[3], argv[4], 0, argv[5] + std::to_string(i));
    }
  } else {
    code = 2;
  }
  platform::install(nullptr);
  return code;
}
