#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

#include "inbox/inbox_test.hpp"

extern char** environ;

namespace tavrino {
namespace {

using testing::kGroup;

class InboxTwoProcessTest : public testing::InboxTest {
 protected:
  pid_t startWriter(const std::string& prefix, int count, std::int64_t first, int step) {
    std::vector<std::string> args = {
        TAVRINO_INBOX_WRITER_PATH, dataDirectory().string(), kGroup, prefix, std::to_string(count),
        std::to_string(first),     std::to_string(step)};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    return pid;
  }

  static bool exitedCleanly(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  // Two writers store 500 messages each at once: "a<i>" expiring at 2i and
  // "b<i>" at 2i + 1, each in rising order.
  void runTwoWriters() {
    const pid_t a = startWriter("a", 500, 0, 2);
    const pid_t b = startWriter("b", 500, 1, 2);
    EXPECT_TRUE(exitedCleanly(a));
    EXPECT_TRUE(exitedCleanly(b));
  }
};

TEST_F(InboxTwoProcessTest, NoMessageIsLostWhenTwoProcessesStoreAtOnce) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "2000");
  runTwoWriters();
  EXPECT_EQ(inbox.getMessageCount(), 1000);
  for (int i = 0; i < 500; ++i) {
    ASSERT_TRUE(inbox.hasMessage("a" + std::to_string(i))) << i;
    ASSERT_TRUE(inbox.hasMessage("b" + std::to_string(i))) << i;
  }
}

TEST_F(InboxTwoProcessTest, FullInboxKeepsTheMessagesThatExpireLast) {
  // Whatever the interleaving, a message among the 100 that expire last is
  // never the earliest of a full inbox while either writer still has more to
  // store, so exactly those survive.
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  runTwoWriters();
  std::vector<std::string> expected;
  for (int i = 450; i < 500; ++i) {
    expected.push_back("a" + std::to_string(i));
    expected.push_back("b" + std::to_string(i));
  }
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), sorted(expected));
}

}  // namespace
}  // namespace tavrino
