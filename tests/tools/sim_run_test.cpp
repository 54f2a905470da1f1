// tavrino-sim as a newcomer runs it: the shipped scenario end to end against
// the in-process service and against a service given by address, and the
// clear failures of a malformed scenario or an unreachable service.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "desktop_session/helper_process.hpp"
#include "desktop_session/temp_dir.hpp"
#include "service/service.hpp"

namespace tavrino::testing {
namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

const std::filesystem::path kScenarios = TAVRINO_SIM_SCENARIOS;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Timeline {
  int exitCode = -1;
  std::string errors;
  std::vector<Json> lines;

  std::vector<Json> of(const std::string& kind) const {
    std::vector<Json> found;
    for (const auto& line : lines) {
      if (line.value("kind", "") == kind) found.push_back(line);
    }
    return found;
  }
  std::vector<Json> hits(const std::string& path) const {
    std::vector<Json> found;
    for (const auto& hit : of("hit")) {
      if (hit["path"] == path) found.push_back(hit);
    }
    return found;
  }
  const Json& summary() const {
    static const Json none;
    const auto s = std::find_if(lines.rbegin(), lines.rend(),
                                [](const Json& l) { return l["kind"] == "summary"; });
    return s == lines.rend() ? none : *s;
  }
};

std::string queryValue(const Json& hit, const std::string& key) {
  for (const auto& pair : hit["query"]) {
    if (pair[0] == key) return pair[1];
  }
  return "(absent)";
}

// Runs the simulator in workDir when one is given.
Timeline runSim(std::vector<std::string> args, const std::filesystem::path& workDir = {}) {
  if (!workDir.empty()) {
    args.insert(args.begin(), {"-c", "cd \"$0\" && exec \"$@\"", workDir, TAVRINO_SIM_PATH});
  }
  const Finished run = runProgram(workDir.empty() ? TAVRINO_SIM_PATH : "/bin/sh", args, 240s);
  Timeline timeline{run.exitCode, run.errors, {}};
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    auto parsed = Json::parse(line, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << "not a JSON line: " << line;
    if (!parsed.is_discarded()) timeline.lines.push_back(std::move(parsed));
  }
  return timeline;
}

// Views, clicks and pushes as the service sees them: [a, zbid, qivcfrom].
std::vector<std::vector<std::string>> trackingHits(const Timeline& t) {
  std::vector<std::vector<std::string>> found;
  for (const auto& hit : t.hits("/t")) {
    found.push_back({queryValue(hit, "a"), queryValue(hit, "zbid"), queryValue(hit, "qivcfrom")});
  }
  return found;
}

bool contains(const std::vector<std::vector<std::string>>& all, std::vector<std::string> one) {
  return std::find(all.begin(), all.end(), one) != all.end();
}

class SimRunTest : public ::testing::Test {
 protected:
  std::string out() { return (dir.path() / "out").string(); }
  TempDir dir;
};

TEST_F(SimRunTest, DefaultScenarioPlaysEveryCampaignKindAndThePushToTheEnd) {
  // Into the default output folder, relative to where it runs.
  const Timeline t = runSim({"--json", "--no-png"}, dir.path());
  const std::string out = (dir.path() / "tavrino-sim-output").string();
  ASSERT_EQ(t.exitCode, 0) << t.errors;
  const Json& summary = t.summary();
  ASSERT_TRUE(summary.is_object()) << "the run ends with its summary";

  // The page views, in the order the user visited the screens.
  std::vector<std::string> pages;
  for (const auto& hit : t.hits("/d")) pages.push_back(queryValue(hit, "p"));
  EXPECT_EQ(pages,
            (std::vector<std::string>{"Home", "Listing", "Product", "Cart", "Offers", "Inbox"}));
  const auto cart = t.hits("/d")[3];
  EXPECT_TRUE(has(queryValue(cart, "adetail[]"), "\"id\":\"A1\"")) << "the cart item rides along";
  EXPECT_EQ(queryValue(t.hits("/d")[2], "shop"), "1234");
  EXPECT_EQ(t.hits("/cmpdata").size(), 1u) << "company settings fetched at start";
  EXPECT_EQ(t.hits("/appinboxcat").size(), 1u) << "categories from the service";
  // The action and the label report themselves.
  std::set<std::string> reported;
  for (const auto& hit : t.hits("/t")) reported.insert(queryValue(hit, "aid"));
  EXPECT_TRUE(reported.contains("31") && reported.contains("41"));
  EXPECT_EQ(summary["hitCount"], t.of("hit").size()) << "every hit is on the timeline";

  // What the SDK decided.
  const Json& decisions = summary["decisions"];
  EXPECT_GE(decisions.value("shown", 0), 8) << "each banner campaign passed its criteria";
  EXPECT_EQ(decisions.value("filed", 0), 1) << "the inbox campaign";
  EXPECT_EQ(decisions.value("action", 0), 1);
  EXPECT_EQ(decisions.value("label", 0), 1);
  const auto methods = t.of("hostMethod");
  ASSERT_EQ(methods.size(), 2u);
  EXPECT_EQ(methods[0]["method"], "ListingViewController.segmentEntered:");
  EXPECT_EQ(methods[0]["argument"]["segment"], "browsing");
  // The listing badges tell the host which items got one.
  EXPECT_EQ(methods[1]["method"], "ListingViewController.badgesLaid:");
  EXPECT_EQ(methods[1]["argument"]["qivlid"], "A1,C3");

  // The cookie instruction and the campaign filed for a custom event.
  std::map<std::string, Json> stored;
  for (const auto& change : t.of("store")) stored[change["key"]] = change;
  ASSERT_TRUE(stored.contains("segment"));
  EXPECT_TRUE(has(stored["segment"]["after"], "returning "));
  EXPECT_TRUE(stored.contains("qivo.custom.events_add_to_cart"));
  EXPECT_TRUE(stored.contains("utm_campaign")) << "the deep link's campaign";

  // The inbox, listed by category: the campaign filed on Home, and the push
  // the extension filed into the group's inbox, read since it was tapped.
  const Json& inbox = summary["inbox"];
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(inbox[0]["id"], "103");
  EXPECT_EQ(inbox[0]["channel"], "campaign");
  EXPECT_EQ((std::vector<Json>{inbox[1]["id"], inbox[1]["channel"], inbox[1]["category"]}),
            (std::vector<Json>{"601", "push", "offers"}));
  EXPECT_EQ(inbox[1]["status"], "1") << "the tap marks it read";
  std::map<std::string, std::size_t> listed;
  for (const auto& line : t.of("inbox")) {
    if (line.contains("category")) listed[line["category"]] = line["messages"].size();
  }
  EXPECT_EQ(listed, (std::map<std::string, std::size_t>{{"news", 1}, {"offers", 1}, {"deals", 0}}));

  // One picture per screen state, drawn from the mirror.
  const auto pictures = t.of("picture");
  ASSERT_EQ(pictures.size(), summary["pictureCount"].get<std::size_t>());
  ASSERT_GE(pictures.size(), 6u);
  const auto shown = std::find_if(pictures.begin(), pictures.end(), [](const Json& picture) {
    return has(picture["html"], "-show-listing-");
  });
  ASSERT_NE(shown, pictures.end());
  const std::string listing = readFile((*shown)["html"].get<std::string>());
  EXPECT_TRUE(has(listing, "data-restoration=\"item_C3\"")) << "the listing screen";
  EXPECT_TRUE(has(listing, "Mountain boot"));
  // As a user sees them: loads finished (no spinner left), references
  // decoded, and badges that leave the item they label readable.
  std::string drawn;
  for (const auto& picture : pictures) drawn += readFile(picture["html"].get<std::string>());
  EXPECT_FALSE(has(drawn, "class=\"spinner\""));
  EXPECT_TRUE(has(drawn, "Free delivery from 50 \u20ac"));
  EXPECT_TRUE(has(drawn, "data-restoration=\"qiv_badge\""));
  EXPECT_FALSE(std::regex_search(
      drawn, std::regex(R"(data-restoration="qiv_badge" style="[^"]*background:rgba\([^)]*,1\))")))
      << "an opaque badge hides its whole item";
  for (const auto& line : t.of("console")) EXPECT_FALSE(has(line["text"], "rror")) << line["text"];
  EXPECT_EQ(std::filesystem::path(pictures[0]["html"].get<std::string>()).parent_path(),
            summary["pictures"].get<std::string>());

  // Banners reach the screen, their images and the social-proof count come
  // from the run's own service, and they report impressions and clicks.
  EXPECT_GE(summary["campaignViews"], 8);
  EXPECT_EQ(t.hits("/img/popup.png").size(), 1u);
  EXPECT_EQ(t.hits("/img/strip.png").size(), 1u);
  EXPECT_EQ(t.hits("/sproof/").size(), 1u);
  const auto tracked = trackingHits(t);
  for (const char* viewed : {"101", "201", "301", "302", "401", "501"}) {
    EXPECT_TRUE(contains(tracked, {"v", viewed, "(absent)"})) << "impression of " << viewed;
  }
  for (const char* clicked : {"102", "301", "401"}) {
    EXPECT_TRUE(contains(tracked, {"c", clicked, "(absent)"})) << "click on " << clicked;
  }

  // Registration hands the scenario's token to the service once.
  ASSERT_EQ(t.hits("/u").size(), 1u);
  EXPECT_EQ(queryValue(t.hits("/u")[0], "endpoint"), "5a1e0c7f9b3d2e4a6c8f0b1d3e5a7c9f");

  // The extension process reports the delivery, names the category of the
  // buttons and attaches the image downloaded from the service, inside the
  // run's folder.
  EXPECT_TRUE(contains(tracked, {"v", "601", "pushview"}));
  EXPECT_EQ(t.hits("/img/push.png").size(), 1u);
  Json extension;
  std::vector<Json> callbacks;
  std::vector<std::string> opened;
  for (const auto& line : t.of("host")) {
    if (line.contains("extension")) extension = line["extension"];
    if (line.contains("pushClick")) callbacks.push_back(line["pushClick"]);
    if (line.contains("openedUrl")) opened.push_back(line["openedUrl"]);
  }
  ASSERT_TRUE(extension.is_string()) << "the extension ran and printed its content";
  EXPECT_TRUE(has(extension, "title: Your cart misses you"));
  EXPECT_TRUE(has(extension, "category: 601"));
  EXPECT_TRUE(has(extension, "attachment: " + out + "/attachments/")) << extension;
  EXPECT_TRUE(has(extension, "qiv_img_601.jpg"));

  // The tap on button b1: a click report naming it, the host's callback with
  // the payload ({{base}} substituted), and the button's link opened.
  EXPECT_TRUE(contains(tracked, {"c", "601", "pushclick"}));
  for (const auto& hit : t.hits("/t")) {
    if (queryValue(hit, "qivcfrom") == "pushclick") {
      EXPECT_EQ(queryValue(hit, "clickid"), "b1");
    }
  }
  ASSERT_EQ(callbacks.size(), 1u);
  EXPECT_EQ(callbacks[0]["zbid"], "601");
  EXPECT_TRUE(has(callbacks[0]["m"], "127.0.0.1")) << callbacks[0]["m"];
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(opened.back(), "tavrinodemo://cart");
  EXPECT_EQ(summary["unsupported"], 0);
  EXPECT_EQ(summary["warnings"], 0) << "every step did what it says";
}

TEST_F(SimRunTest, PlaysAgainstAServiceGivenByAddressAndShowsItsHits) {
  std::string error;
  auto answers = service::Scenario::load(kScenarios / "default.service.json", &error);
  ASSERT_TRUE(answers) << error;
  service::Service external(std::move(*answers));
  const std::string base = external.start();
  ASSERT_FALSE(base.empty());
  const auto scenario = dir.path() / "short.json";
  std::ofstream(scenario) << R"({"name": "short",
    "screens": {"Listing": {"class": "ListingViewController"}},
    "steps": [{"show": "Listing", "page": {"p": "Listing"}}, {"event": "seen"}]})";
  const Timeline t = runSim(
      {"--json", "--no-png", "--scenario", scenario.string(), "--service", base, "--out", out()});
  ASSERT_EQ(t.exitCode, 0) << t.errors;
  EXPECT_EQ(t.lines.front()["service"], base);
  ASSERT_EQ(t.hits("/d").size(), 1u) << "read back through the control endpoint";
  EXPECT_EQ(external.requests("/d").size(), 1u);
  EXPECT_EQ(t.hits("/t").size(), external.requests("/t").size());
  EXPECT_EQ(t.summary()["decisions"].value("action", 0), 1);
}

TEST_F(SimRunTest, MalformedScenariosAndUnreachableServicesStopWithAClearMessage) {
  const auto bad = dir.path() / "bad.json", broken = dir.path() / "broken.json";
  std::ofstream(bad) << R"({"screens": {}, "steps": [{"show": "Home"}]})";
  std::ofstream(broken) << "{\"steps\": [";
  service::Service probe;  // a port nobody listens on
  const std::string closed = probe.start();
  probe.stop();
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{"--scenario", bad.string()}, 1, "bad.json: steps[0].show: names no screen \"Home\""},
      {{"--scenario", broken.string()}, 1, "broken.json: not JSON"},
      {{"--service", closed}, 1, "cannot reach the service at " + closed},
      {{"--service", "not a url"}, 1, "is not an http or https address"},
      {{"--bogus"}, 2, "usage: tavrino-sim"},
  };
  for (auto [args, code, message] : cases) {
    args.insert(args.end(), {"--out", out()});
    const auto run = runProgram(TAVRINO_SIM_PATH, args, 60s);
    EXPECT_EQ(run.exitCode, code) << message;
    EXPECT_TRUE(has(run.errors, message)) << run.errors;
    EXPECT_TRUE(run.output.empty()) << "nothing is played";
  }
}

TEST_F(SimRunTest, PushStepsThatCannotDoTheirJobWarnAndTheRunGoesOn) {
  // No registration, so no notification delegate: the host forwards taps.
  const auto scenario = dir.path() / "pushes.json";
  std::ofstream(scenario) << R"({"sdk": {"companySettings": false}, "steps": [
      {"pushTap": {"action": "organic"}},
      {"push": {"payload": {}}},
      {"pushTap": {"action": "organic"}}]})";
  const Timeline t =
      runSim({"--json", "--no-png", "--scenario", scenario.string(), "--out", out()});
  ASSERT_EQ(t.exitCode, 0) << t.errors;
  const auto warnings = t.of("warning");
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_TRUE(has(warnings[0]["text"], "nothing to tap"));
  EXPECT_TRUE(has(warnings[1]["text"], "notification extension failed (exit code 2)"))
      << warnings[1]["text"];
  std::vector<std::string> host;
  for (const auto& line : t.of("host")) host.push_back(line["text"]);
  EXPECT_TRUE(std::find(host.begin(), host.end(), "application receives the notification") !=
              host.end())
      << "the application hears of it whatever the extension did";
  EXPECT_TRUE(std::find(host.begin(), host.end(), "no notification delegate: Util::pushClicked") !=
              host.end());
  EXPECT_TRUE(t.hits("/t").empty()) << "no campaign, no delivery or click report";
}

TEST_F(SimRunTest, ReadableTimelineIsPlainWhenNotOnATerminal) {
  const auto scenario = dir.path() / "tiny.json";
  std::ofstream(scenario) << R"({"screens": {"Home": {"class": "HomeViewController"}},
    "steps": [{"show": "Home", "page": {"p": "Home"}}, {"tap": {"title": "Nothing"}}]})";
  const Finished run = runProgram(
      TAVRINO_SIM_PATH, {"--no-png", "--scenario", scenario.string(), "--out", out()}, 120s);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_FALSE(has(run.output, "\x1b[")) << "no colour codes in a pipe";
  EXPECT_TRUE(has(run.output, " host    show Home p=Home"));
  EXPECT_TRUE(has(run.output, " hit     GET /d"));
  EXPECT_TRUE(has(run.output, " warning no view on screen to tap"));
  EXPECT_TRUE(has(run.output, "pictures: " + out() + "/pictures"));
  const Finished colour =
      runProgram(TAVRINO_SIM_PATH,
                 {"--color", "--no-png", "--scenario", scenario.string(), "--out", out()}, 120s);
  EXPECT_TRUE(has(colour.output, "\x1b[1;36m")) << "asked for";
}

}  // namespace
}  // namespace tavrino::testing
