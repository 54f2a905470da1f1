// Stores messages into an inbox from a process of its own, for the tests of
// two processes sharing one inbox.
//
// Usage: tavrino_inbox_writer DATA_DIR STORE_NAME ID_PREFIX COUNT FIRST_TIMEOUT STEP
// Stores COUNT messages ID_PREFIX0, ID_PREFIX1, ... whose timeoutDates are
// FIRST_TIMEOUT, FIRST_TIMEOUT + STEP, ... in that order, and prints how many
// of the stores evicted a message.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux.hpp"

int main(int argc, char** argv) {
  if (argc != 7) return 2;  // see the usage above
  using namespace tavrino;
  platform::install(platform::makeLinuxPlatform({.dataDirectory = argv[1], .clock = nullptr}));
  const std::string prefix = argv[3];
  const long count = std::strtol(argv[4], nullptr, 10);
  const long long first = std::strtoll(argv[5], nullptr, 10);
  const long long step = std::strtoll(argv[6], nullptr, 10);

  QivInbox inbox;
  inbox.setStoreName(argv[2]);
  long evicting = 0;
  for (long i = 0; i < count; ++i) {
    evicting += inbox.setMessage(Value{{"zbid", prefix + std::to_string(i)},
                                       {"qivibxttl", "60"},
                                       {"qivibxr", "2"},
                                       {"qivibxtimeout", std::to_string(first + i * step)}});
  }
  platform::install(nullptr);
  std::printf("%ld\n", evicting);
  return 0;
}
