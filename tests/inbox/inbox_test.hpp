#pragma once

// The fixture of the inbox tests: SdkTest with an inbox in the app group
// suite "group.test" (a real SQLite file in the test's data directory).

#include <algorithm>
#include <string>
#include <vector>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

inline constexpr const char* kGroup = "group.test";

class InboxTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    Util::setCookieToQIVDefaults("qiv_inbox_groupname", kGroup);
  }

  // A stored-form message map; timeoutDate in seconds after kTestEpoch.
  static Value message(const std::string& id, std::int64_t expiresAfter = 3600,
                       const std::string& category = "", const std::string& status = "2") {
    return Value{{"zbid", id},
                 {"qivibxttl", "60"},
                 {"qivibxmt", category},
                 {"qivibxcap", "title " + id},
                 {"qivibxr", status},
                 {"qivibxdate", std::to_string(kTestEpoch)},
                 {"qivibxtimeout", std::to_string(kTestEpoch + expiresAfter)}};
  }

  static std::vector<std::string> ids(const std::vector<QivInboxMessage>& records) {
    std::vector<std::string> result;
    for (const auto& record : records) result.push_back(record.id);
    return result;
  }

  static std::vector<std::string> sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  std::shared_ptr<platform::UserDefaultsSuite> groupSuite() {
    return platform::current().userDefaults().suite(kGroup);
  }

  static bool hasStep(const std::string& step) {
    const auto steps = processState().steps();
    return std::find(steps.begin(), steps.end(), step) != steps.end();
  }

  QivInbox inbox;
};

}  // namespace tavrino::testing
