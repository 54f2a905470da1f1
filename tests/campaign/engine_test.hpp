#pragma once

// Page views against the reference service: a client, scripted answers, and
// a wait for an answer's dispatch to finish.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/keyed_archive.hpp"
#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

// Pumps the loop until a request to path has key=value (reports may come in any order).
inline service::RecordedRequest awaitRequestWith(platform::Dispatch& dispatch,
                                                 service::Service& service, std::string_view path,
                                                 std::string_view key, std::string_view value) {
  std::optional<service::RecordedRequest> found;
  dispatch.runUntil(
      [&] {
        for (const auto& request : service.requests(path)) {
          if (request.queryValue(key) == value) found = request;
        }
        return found.has_value();
      },
      std::chrono::seconds(5));
  if (!found) ADD_FAILURE() << "no request to " << path << " with " << key << "=" << value;
  return found.value_or(service::RecordedRequest{});
}

// The "key=value" pairs of an "&"-joined list, as written (no decoding).
inline std::vector<std::pair<std::string, std::string>> parseQuery(std::string_view query) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t start = 0; start < query.size();) {
    const std::size_t end = std::min(query.find('&', start), query.size());
    const auto pair = query.substr(start, end - start);
    const auto eq = std::min(pair.find('='), pair.size());
    pairs.emplace_back(pair.substr(0, eq), pair.substr(std::min(eq + 1, pair.size())));
    start = end + 1;
  }
  return pairs;
}

// Expects the request's query to hold each pair of expected.
inline void expectQuery(const service::RecordedRequest& request, std::string_view expected) {
  for (const auto& [key, value] : parseQuery(expected)) {
    EXPECT_EQ(request.queryValue(key), value) << key;
  }
}

// How many lines of log contain text.
inline std::size_t count(const CapturingLog& log, std::string_view text) {
  std::size_t n = 0;
  for (const auto& line : log.lines()) n += line.find(text) != std::string::npos;
  return n;
}
// The custom-event campaigns filed for event, or null when absent or unreadable.
inline Value filed(const std::string& event) {
  const auto stored = Util::qivDefaults()->object("qivo.custom.events_" + event);
  return stored && stored->is_binary() ? unarchiveDictionary(stored->get_binary()).value_or(nullptr)
                                       : nullptr;
}
// The line each banner's presentation starts with.
inline constexpr std::string_view kShown = "ui_sb setParameters called.";

class EngineTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    enableDebugLog();
    client.emplace(baseUrl, "1234", "0");
  }
  void TearDown() override {
    client.reset();
    ServiceTest::TearDown();
  }

  // Every following page view is answered with body.
  void answerWith(const std::string& body) {
    service.setBehavior("/d", service::Behavior::answering(200, body));
  }

  // Reports a page view and pumps the loop until its answer has been
  // dispatched (the replay that runs last has run). A badge activation queued
  // while the answer is awaited marks that moment.
  bool pageView(const StringMap& page = {{"p", "Home"}}) {
    client->execute(view, page);
    Tavrino::activateListingBadge(view, {{"marker", "1"}});
    return waitUntil([] {
      return processState().withCampaign(
          [](CampaignState& c) { return c.responseReady && !c.pendingBadgeRequested; });
    });
  }

  std::size_t count(std::string_view text) { return testing::count(log(), text); }
  std::size_t shows() { return count(kShown); }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::ViewController> view = std::make_shared<ui::ViewController>("HomeScreen");
};

}  // namespace tavrino::testing
