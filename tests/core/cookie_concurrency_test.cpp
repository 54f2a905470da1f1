// The read-modify-write cookie operations from several threads and from two
// processes at once: every increment counts and no marker is lost.

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "desktop_session/helper_process.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using testing::HelperProcess;

class CookieConcurrencyTest : public testing::SdkTest {
 protected:
  // Starts a cookie writer on this test's store, held until released.
  std::unique_ptr<HelperProcess> writer(std::vector<std::string> args) {
    args.insert(args.begin(), dataDirectory().string());
    auto process = std::make_unique<HelperProcess>(TAVRINO_COOKIE_WRITER_PATH, args, true);
    EXPECT_EQ(process->readLine(std::chrono::seconds(10)), "ready");
    return process;
  }

  // Runs fn(thread) on three threads while both processes write too.
  void alongside(HelperProcess& a, HelperProcess& b, const std::function<void(int)>& fn) {
    a.release();
    b.release();
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) threads.emplace_back(fn, t);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
  }
};

TEST_F(CookieConcurrencyTest, EveryIncrementCounts) {
  auto a = writer({"ic", "n", "150"});
  auto b = writer({"ic", "n", "150"});
  alongside(*a, *b, [](int) {
    for (int i = 0; i < 50; ++i)
      QivUtil().ic({{"cookie_name", "n"}, {"cookie_value", "0"}, {"cookie_timeout", "0"}});
  });
  EXPECT_EQ(Util::readDefault("n"), "450 0");
}

TEST_F(CookieConcurrencyTest, NoUniqueMarkerIsLost) {
  Util::addUniqueCookie("z", "c", 7, "first");
  auto a = writer({"unique", "z", "c", "a", "60"});
  auto b = writer({"unique", "z", "c", "b", "60"});
  alongside(*a, *b, [](int t) {
    for (int i = 0; i < 20; ++i) {
      Util::addUniqueCookie("z", "c", 0, "t" + std::to_string(t) + "_" + std::to_string(i));
    }
  });
  std::vector<std::string> wanted = {"first"};
  for (int i = 0; i < 60; ++i)
    wanted.insert(wanted.end(), {"a" + std::to_string(i), "b" + std::to_string(i)});
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 20; ++i)
      wanted.push_back("t" + std::to_string(t) + "_" + std::to_string(i));
  }
  for (const auto& marker : wanted) EXPECT_TRUE(Util::hasUniqueCookie("z", "c", marker)) << marker;
  const std::string stored = Util::readDefault("qiv_z_z_c");
  EXPECT_EQ(std::count(stored.begin(), stored.end(), ','), 180);  // each marker once
  EXPECT_TRUE(stored.ends_with(" 7"));
}

}  // namespace
}  // namespace tavrino
