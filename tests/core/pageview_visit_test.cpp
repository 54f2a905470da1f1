// Visitor and visit bookkeeping of page views, across the manual clock and a
// restart of the process.

#include <gtest/gtest.h>

#include <chrono>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using testing::kTestEpoch;

class PageviewVisitTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    // Nothing listens there; the tests never pump the loop that would send.
    client.emplace("http://127.0.0.1:9/", "1234", "0");
  }
  void TearDown() override {
    client.reset();
    SdkTest::TearDown();
  }

  std::optional<Tavrino> client;

  std::shared_ptr<ui::ViewController> home = std::make_shared<ui::ViewController>("HomeScreen");

  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  static std::string now() { return std::to_string(kTestEpoch); }
};

TEST_F(PageviewVisitTest, FirstPageViewCreatesTheVisitor) {
  client->execute(home, {{"p", "Home"}});
  const std::string uid = stored("uid");
  ASSERT_EQ(uid.size(), 36u);
  EXPECT_EQ(uid[14], '4');
  EXPECT_EQ(stored("vc"), "1");
  EXPECT_EQ(stored("pvc"), "1");
  EXPECT_EQ(stored("ftu"), "1");
  EXPECT_EQ(stored("visitflag"), "true");
  EXPECT_EQ(stored("uids"), uid + "|" + now() + "|" + now() + "|" + now());
  EXPECT_EQ(stored("fvt"), now());
  EXPECT_EQ(stored("lvt"), now());

  Tavrino other("http://127.0.0.1:9/", "1234", "0");
  other.execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("uid"), uid) << "the visitor id is kept";
}

TEST_F(PageviewVisitTest, SameVisitCountsPagesAndDropsTheFirstTimeMarker) {
  client->execute(home, {{"p", "Home"}, {"ls", "~"}});
  clock().advance(seconds(10));
  client->execute(home, {{"p", "Home"}, {"ls", "~"}});
  EXPECT_EQ(stored("pvc"), "2");
  EXPECT_EQ(stored("vc"), "1");
  EXPECT_EQ(stored("ftu"), "");
  EXPECT_EQ(stored("qiv_vstp"), now());
  const std::string later = std::to_string(kTestEpoch + 10);
  EXPECT_EQ(stored("vt"), later);
  EXPECT_EQ(stored("uids"), stored("uid") + "~" + now() + "~" + later + "~" + later);
}

TEST_F(PageviewVisitTest, ThirtyOneMinutesLaterIsANewVisit) {
  client->execute(home, {{"p", "Home"}});
  client->execute(home, {{"p", "Home"}});
  Util::setCookieToQIVDefaults("visitcount_7", "1");
  Util::setCookieToQIVDefaults("visitflag", "false");
  Util::setCookieToQIVDefaults("usercount_7", "1");

  clock().advance(minutes(30));
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("vc"), "1") << "exactly 30 minutes is still the same visit";
  EXPECT_EQ(stored("pvc"), "3");

  clock().advance(minutes(31));
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("vc"), "2");
  EXPECT_EQ(stored("pvc"), "1");
  EXPECT_EQ(stored("visitflag"), "true");
  EXPECT_EQ(stored("visitcount_7"), "");
  EXPECT_EQ(stored("usercount_7"), "1") << "per-device counters outlive visits";
  EXPECT_EQ(stored("ftu"), "") << "first page view of the second visit";
  EXPECT_EQ(stored("qiv_vstp"), std::to_string(kTestEpoch + 30 * 60));
}

TEST_F(PageviewVisitTest, VisitTimeOutComesFromThePage) {
  client->execute(home, {{"p", "Home"}, {"_vto", "5"}});
  clock().advance(minutes(5) + seconds(1));
  client->execute(home, {{"p", "Home"}, {"_vto", "5"}});
  EXPECT_EQ(stored("vc"), "2");

  // A time-out that is not a whole number of minutes falls back to 30.
  for (const char* bad : {"abc", "2.5", "-3", "99999999999999999999", "1e400"}) {
    clock().advance(minutes(10));
    client->execute(home, {{"p", "Home"}, {"_vto", bad}});
    EXPECT_EQ(stored("vc"), "2") << bad;
    EXPECT_EQ(processState().withConfig([](SharedConfiguration& c) { return c.vto; }), "30");
  }
  // A huge one never overflows: the visit simply never ends.
  client->execute(home, {{"p", "Home"}, {"_vto", "9223372036854775807"}});
  clock().advance(minutes(60 * 24 * 365));
  client->execute(home, {{"p", "Home"}, {"_vto", "9223372036854775807"}});
  EXPECT_EQ(stored("vc"), "2");
}

TEST_F(PageviewVisitTest, VisitContinuesAcrossARestart) {
  client->execute(home, {{"p", "Home"}});
  const std::string uid = stored("uid");
  restartPlatform();
  clock().advance(minutes(10));
  {
    Tavrino restarted("http://127.0.0.1:9/", "1234", "0");
    restarted.execute(home, {{"p", "Home"}});
  }
  EXPECT_EQ(stored("uid"), uid);
  EXPECT_EQ(stored("vc"), "1");
  EXPECT_EQ(stored("pvc"), "2");

  restartPlatform();
  clock().advance(minutes(45));
  Tavrino restarted("http://127.0.0.1:9/", "1234", "0");
  restarted.execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("vc"), "2");
  EXPECT_EQ(stored("pvc"), "1");
}

TEST_F(PageviewVisitTest, EmptyLocalMapOnlyCountsTheCall) {
  client->execute(home, {{"p", "Home"}});
  const auto before = Util::qivDefaults()->dictionaryRepresentation();
  const auto counter = processState().execcounter();
  clock().advance(minutes(40));
  client->execute(home, {});
  EXPECT_EQ(processState().execcounter(), counter + 1);
  EXPECT_EQ(Util::qivDefaults()->dictionaryRepresentation(), before);
}

TEST_F(PageviewVisitTest, CorruptStoredCountersReadAsAbsent) {
  client->execute(home, {{"p", "Home"}});
  Util::setCookieToQIVDefaults("vc", "lots");
  Util::setCookieToQIVDefaults("pvc", "9223372036854775807");
  Util::setCookieToQIVDefaults("fvt", "yesterday");
  clock().advance(seconds(5));
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("pvc"), "9223372036854775807") << "saturates";
  EXPECT_EQ(stored("vc"), "0") << "no new visit to take a count from";
  EXPECT_EQ(stored("fvt"), std::to_string(kTestEpoch + 5));

  Util::setCookieToQIVDefaults("vt", "soon");
  Util::setCookieToQIVDefaults("vc", "-4");
  client->execute(home, {{"p", "Home"}});
  EXPECT_EQ(stored("vc"), "1") << "an unreadable visit time starts a new visit";
  EXPECT_EQ(stored("pvc"), "1");
}

TEST_F(PageviewVisitTest, AnidReplacesTheVisitorId) {
  client->execute(home, {{"p", "Home"}, {"_anid", "ad-42"}});
  EXPECT_EQ(stored("uid"), "ad-42");
  EXPECT_EQ(stored("uids").rfind("ad-42|", 0), 0u);
  client->execute(home, {{"p", "Home"}, {"_anid", ""}});
  EXPECT_EQ(stored("uid"), "ad-42");
}

}  // namespace
}  // namespace tavrino
