#pragma once

// The fixture of the inbox tests: SdkTest with an inbox in the app group
// suite "group.test" (a real SQLite file in the test's data directory), and
// builders for messages and stored entries.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/keyed_archive.hpp"
#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

inline constexpr const char* kGroup = "group.test";
using Ids = std::vector<std::string>;

// A stored-form message map; timeoutDate in seconds after kTestEpoch.
inline Value message(const std::string& id, std::int64_t expiresAfter = 3600,
                     const std::string& category = "", const std::string& status = "2") {
  return Value{{"zbid", id},
               {"qivibxttl", "60"},
               {"qivibxmt", category},
               {"qivibxcap", "title " + id},
               {"qivibxr", status},
               {"qivibxdate", std::to_string(kTestEpoch)},
               {"qivibxtimeout", std::to_string(kTestEpoch + expiresAfter)}};
}
// The entry the map-based writer (an earlier version, another process) stored.
inline Data oldArchive(const Value& map) {
  return archiveDictionary(Value(QivInboxHelper().createMessageMap(map)));
}
inline Value entry(const Value& map) {
  return Value::binary(oldArchive(map));
}
inline Ids ids(const std::vector<QivInboxMessage>& records) {
  Ids result;
  for (const auto& record : records) result.push_back(record.id);
  return result;
}
inline Ids sorted(Ids texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}
inline std::size_t stepCount(const std::string& step) {
  const auto steps = processState().steps();
  return static_cast<std::size_t>(std::count(steps.begin(), steps.end(), step));
}

class InboxTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    Util::setCookieToQIVDefaults("qiv_inbox_groupname", kGroup);
  }
  std::shared_ptr<platform::UserDefaultsSuite> groupSuite() {
    return platform::current().userDefaults().suite(kGroup);
  }
  void recordCounts() {
    inbox.message_callback = [this](const QivInbox::Counts& counts) { seen.push_back(counts); };
  }

  QivInbox inbox;
  std::vector<QivInbox::Counts> seen;
};

}  // namespace tavrino::testing
