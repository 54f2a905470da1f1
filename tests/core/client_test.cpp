#include <gtest/gtest.h>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class ClientTest : public testing::SdkTest {};

TEST_F(ClientTest, CompanyIdTakesTheSecondDashPieceOfANonNumber) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"abc-1234-x", "1234"}, {"1234", "1234"}, {"1-2", "2"}, {"abc", "abc"}, {"-5", "-5"}};
  for (const auto& [given, expected] : cases) {
    Tavrino client("//t.example/", given, "0");
    EXPECT_EQ(Util::readDefault("_s"), expected) << given;
  }
  EXPECT_EQ(Util::readDefault("_cburl"), "//t.example/");
}

// Construction calls no one back; steps keep the newest thousand.
TEST_F(ClientTest, StepsAreRecordedQuietlyAndSettersWriteTheirStoreKeys) {
  int calls = 0;
  {
    Tavrino first("//t/", "1", "0");
    first.setStepCallback([&](const std::vector<std::string>&) { ++calls; });
  }
  Tavrino client("//t/", "1", "0", "0");
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(client.getSteps(), (std::vector<std::string>{"Create Instance convenience init",
                                                         "Create Instance", "Create Instance"}));
  std::size_t lastSize = 0;
  client.setStepCallback([&](const std::vector<std::string>& steps) { lastSize = steps.size(); });
  for (int i = 0; i < 1005; ++i) recordStep("step " + std::to_string(i));
  const auto steps = client.getSteps();
  ASSERT_EQ(steps.size(), kMaxSteps);
  EXPECT_EQ(steps.front(), "step 5");
  EXPECT_EQ(steps.back(), "step 1004");
  EXPECT_EQ(lastSize, kMaxSteps);

  client.setApiKey("key");
  client.enableAppInbox();
  client.disableAppInbox();
  client.setAppGroupName("group.demo");
  client.setAppInboxHistorySize(50);
  client.setDefaultTimeout(60);
  EXPECT_EQ(storedAll("qiv_api_key _enable_inbox _disable_inbox qiv_inbox_groupname "
                      "_inbox_history_size _inbox_default_timeout"),
            "qiv_api_key=key _enable_inbox=1 _disable_inbox=1 qiv_inbox_groupname=group.demo "
            "_inbox_history_size=50 _inbox_default_timeout=60");

  // Share extensions are allowed; keyboards are not.
  EXPECT_TRUE(client.application(nullptr, "com.example.share"));
  EXPECT_FALSE(client.application(nullptr, kKeyboardExtensionPointIdentifier));
}

}  // namespace
}  // namespace tavrino
