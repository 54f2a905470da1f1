#pragma once

// What the tracking tests share: a client of the reference service, filed
// custom events, the step list and the configuration.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "core/keyed_archive.hpp"
#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

class TrackingTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    client_ = std::make_unique<Tavrino>(baseUrl, "1", "0");
  }
  Tavrino& client() { return *client_; }
  std::unique_ptr<Tavrino> client_;

  static std::string filedKey(std::string_view event) {
    return "qivo.custom.events_" + std::string(event);
  }
  static void file(std::string_view event, const Value& entries) {
    Util::qivDefaults()->set(filedKey(event), Value::binary(archiveDictionary(entries)));
  }
  // The filed entries of an event, or nothing when absent or unreadable.
  static std::optional<Value> filed(std::string_view event) {
    const auto stored = Util::qivDefaults()->object(filedKey(event));
    if (!stored || !stored->is_binary()) return std::nullopt;
    return unarchiveDictionary(stored->get_binary());
  }
  static std::vector<std::string> pending() {
    return processState().withConfig([](SharedConfiguration& c) { return c.pendingItems; });
  }
  static void setDecimalChar(const std::string& c) {
    processState().withConfig([&](SharedConfiguration& config) { config.decimalChar = c; });
  }
  static void setResponseReady(bool ready) {
    processState().withCampaign([&](CampaignState& s) { s.responseReady = ready; });
  }
  static std::size_t stepCount(const std::string& step) {
    const auto steps = processState().steps();
    return static_cast<std::size_t>(std::count(steps.begin(), steps.end(), step));
  }
  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  static bool has(std::string_view key) { return Util::qivDefaults()->object(key).has_value(); }
  std::int64_t now() { return clock().epochSeconds(); }
  // The index of the first log line containing text, or -1.
  long logIndex(std::string_view text) {
    const auto lines = log().lines();
    const auto it = std::ranges::find_if(
        lines, [&](const auto& l) { return l.find(text) != std::string::npos; });
    return it == lines.end() ? -1 : static_cast<long>(it - lines.begin());
  }
  // "key=value" for each of the blank-separated keys of request's query; "!key" when absent.
  static std::string sent(const service::RecordedRequest& request, std::string_view keys) {
    std::string all;
    for (const auto& key : words(keys)) {
      const auto value = request.queryValue(key);
      all += (all.empty() ? "" : " ") + (value ? key + "=" + *value : "!" + key);
    }
    return all;
  }
  // The query of the nth request under path, once it arrived.
  service::RecordedRequest awaitRequest(std::string_view path, std::size_t n = 0) {
    EXPECT_TRUE(service.waitForRequests(path, n + 1, std::chrono::seconds(5)));
    const auto requests = service.requests(path);
    return requests.size() > n ? requests[n] : service::RecordedRequest{};
  }
};

}  // namespace tavrino::testing
