// Writes the SDK store and the inbox until it is killed, for the tests that
// kill a writer at random moments. After each write has returned it reports
// it on standard output, one line each, before going on:
//   "s I"  Util::setCookieToQIVDefaults(PREFIX_I, "vI")
//   "m I"  setMessage of the unread message PREFIX_I (reported once stored)
//   "r I"  markReadMessage(PREFIX_I)
//   "d I"  deleteMessage(PREFIX_I)
//
// Usage: tavrino_inbox_crash_writer DATA_DIR STORE_NAME PREFIX

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"

namespace {

void report(char what, long i) {
  char line[32];
  const int length = std::snprintf(line, sizeof line, "%c %ld\n", what, i);
  // One write(2) per line: the parent never sees half a report.
  if (write(STDOUT_FILENO, line, static_cast<std::size_t>(length)) != length) _exit(3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;  // see the usage above
  using namespace tavrino;
  platform::install(platform::makeLinuxPlatform({.dataDirectory = argv[1], .clock = nullptr}));
  const std::string prefix = std::string(argv[3]) + "_";
  QivInbox inbox;
  inbox.setStoreName(argv[2]);
  for (long i = 0; i < 100000; ++i) {
    const std::string id = prefix + std::to_string(i);
    Util::setCookieToQIVDefaults(id, "v" + std::to_string(i));
    report('s', i);
    inbox.setMessage(Value{{"zbid", id},
                           {"qivibxttl", "60"},
                           {"qivibxr", "2"},
                           {"qivibxtimeout", std::to_string(2000000000 + i)}});
    if (inbox.hasMessage(id)) report('m', i);
    if (i % 3 == 2) {
      inbox.markReadMessage(prefix + std::to_string(i - 1));
      report('r', i - 1);
    }
    if (i % 5 == 4) {
      inbox.deleteMessage(prefix + std::to_string(i - 2));
      report('d', i - 2);
    }
  }
  platform::install(nullptr);
  return 0;
}
