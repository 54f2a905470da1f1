#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
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
    const std::string output = (dataDirectory() / (prefix + ".out")).string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT, 0600);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static bool exitedCleanly(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  long evictingStores(const std::string& prefix) {
    long count = -1;
    std::ifstream(dataDirectory() / (prefix + ".out")) >> count;
    return count;
  }

  // Two writers store 500 messages each at once: "a<i>" expiring at 2i and
  // "b<i>" at 2i + 1, each in rising order. Returns how many stores evicted.
  long runTwoWriters() {
    const pid_t a = startWriter("a", 500, 0, 2);
    const pid_t b = startWriter("b", 500, 1, 2);
    EXPECT_TRUE(exitedCleanly(a));
    EXPECT_TRUE(exitedCleanly(b));
    return evictingStores("a") + evictingStores("b");
  }
};

TEST_F(InboxTwoProcessTest, NoMessageIsLostWhenTwoProcessesStoreAtOnce) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "2000");
  EXPECT_EQ(runTwoWriters(), 0);
  EXPECT_EQ(inbox.getMessageCount(), 1000);
  for (int i = 0; i < 500; ++i) {
    ASSERT_TRUE(inbox.hasMessage("a" + std::to_string(i))) << i;
    ASSERT_TRUE(inbox.hasMessage("b" + std::to_string(i))) << i;
  }
}

TEST_F(InboxTwoProcessTest, FullInboxKeepsTheMessagesThatExpireLast) {
  // Whatever the interleaving, a message among the 100 that expire last is
  // never the earliest of a full inbox while either writer still has more to
  // store, so exactly those survive. Each store after the first 100 evicts
  // exactly one: had both processes counted a full inbox and evicted the
  // same message, one of them would have evicted none.
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  EXPECT_EQ(runTwoWriters(), 900);
  std::vector<std::string> expected;
  for (int i = 450; i < 500; ++i) {
    expected.push_back("a" + std::to_string(i));
    expected.push_back("b" + std::to_string(i));
  }
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), sorted(expected));
}

}  // namespace
}  // namespace tavrino
