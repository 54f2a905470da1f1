// tavrino-sim as a newcomer runs it: the shipped scenario end to end against
// the in-process service and against a service given by address, and the
// clear failures of a malformed scenario or an unreachable service.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <tuple>

#include "desktop_session/helper_process.hpp"
#include "desktop_session/temp_dir.hpp"
#include "service/service.hpp"

namespace tavrino::testing {
namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Timeline {
  int exitCode = -1;
  std::string errors;
  std::vector<Json> lines;

  std::vector<Json> of(const std::string& kind, const std::string& path = "") const {
    std::vector<Json> found;
    for (const auto& line : lines) {
      if (line.value("kind", "") == kind && (path.empty() || line["path"] == path)) {
        found.push_back(line);
      }
    }
    return found;
  }
};

// Runs the simulator with its default scenario and output folder in workDir.
Timeline runSimIn(const std::filesystem::path& workDir) {
  const Finished run = runProgram(
      "/bin/sh", {"-c", "cd \"$0\" && exec \"$@\" --json --no-png", workDir, TAVRINO_SIM_PATH},
      240s);
  Timeline timeline{run.exitCode, run.errors, {}};
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    auto parsed = Json::parse(line, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << "not a JSON line: " << line;
    if (!parsed.is_discarded()) timeline.lines.push_back(std::move(parsed));
  }
  return timeline;
}

class SimRunTest : public ::testing::Test {
 protected:
  std::string out() { return (dir.path() / "out").string(); }
  TempDir dir;
};

TEST_F(SimRunTest, DefaultScenarioPlaysEveryCampaignKindAndThePushToTheEnd) {
  // Into the default output folder, relative to where it runs.
  const Timeline t = runSimIn(dir.path());
  const std::string out = (dir.path() / "tavrino-sim-output").string();
  ASSERT_EQ(t.exitCode, 0) << t.errors;
  ASSERT_FALSE(t.lines.empty());
  const Json summary = t.lines.back();
  ASSERT_EQ(summary["kind"], "summary") << "the run ends with its summary";

  // The page views, in the order the user visited the screens; the other
  // endpoints once each: settings and categories at start, images and the
  // social-proof count from the run's own service, the registration.
  std::vector<std::string> visited;
  for (const auto& hit : t.of("hit", "/d")) {
    for (const auto& pair : hit["query"]) {
      if (pair[0] == "p") visited.push_back(pair[1]);
    }
  }
  EXPECT_EQ(visited,
            (std::vector<std::string>{"Home", "Listing", "Product", "Cart", "Offers", "Inbox"}));
  EXPECT_EQ(summary["hitCount"], t.of("hit").size()) << "every hit is on the timeline";
  // The summary: what the SDK decided, read from its log (the inbox campaign
  // filed, the action, the label...); the hits per endpoint; the inbox: the
  // campaign filed on Home, and the push the extension filed into the
  // group's inbox, read since it was tapped. Tracking reports and banner
  // decisions vary in number with timing.
  Json whole = summary;
  for (const char* varies : {"kind", "step", "time", "text", "hitCount", "pictures"}) {
    whole.erase(varies);
  }
  whole["hits"].erase("/t");
  whole["decisions"].erase("shown");
  EXPECT_EQ(whole, Json::parse(R"({"campaignViews": 8,
      "decisions": {"action": 1, "badge": 3, "click": 2, "filed": 1, "hostMethod": 1, "label": 1,
                    "push": 2},
      "hits": {"/appinboxcat": 1, "/cmpdata": 1, "/d": 6, "/img/popup.png": 1, "/img/push.png": 1,
               "/img/strip.png": 1, "/sproof/": 1, "/u": 1},
      "inbox": [{"id": "103", "category": "news", "title": "Spring collection", "status": "2",
                 "channel": "campaign"},
                {"id": "601", "category": "offers", "title": "Your cart misses you", "status": "1",
                 "channel": "push"}],
      "pictureCount": 12, "pngCount": 0, "warnings": 0, "unsupported": 0})"));
  // The listing badges telling the host which items got one; the segment.
  const Json badges = t.of("hostMethod").at(1);
  EXPECT_EQ(Json::array({badges["method"], badges["argument"]}),
            Json::parse(R"(["ListingViewController.badgesLaid:", {"qivlid": "A1,C3"}])"));
  std::map<std::string, Json> stored;
  for (const auto& change : t.of("store")) stored[change["key"]] = change["after"];
  EXPECT_TRUE(has(stored["segment"].dump(), "returning "));

  // One picture per screen state, drawn from the mirror as a user sees them:
  // loads finished (no spinner left), references decoded, and badges that
  // leave the item they label readable.
  const auto pictures = t.of("picture");
  ASSERT_EQ(pictures.size(), summary["pictureCount"].get<std::size_t>());
  std::string drawn;
  for (const auto& picture : pictures) {
    std::ifstream in(picture["html"].get<std::string>());
    drawn.append(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_TRUE(has(drawn, "data-restoration=\"item_C3\"") && has(drawn, "Mountain boot"));
  EXPECT_FALSE(has(drawn, "class=\"spinner\""));
  EXPECT_TRUE(has(drawn, "srcdoc=\"") && !has(drawn, "<h2>Welcome back!"))
      << "campaign markup only inside the escaped frame";
  EXPECT_TRUE(has(drawn, "Free delivery from 50 \u20ac"));
  EXPECT_TRUE(has(drawn, "data-restoration=\"qiv_badge\""));
  EXPECT_FALSE(std::regex_search(
      drawn, std::regex(R"(data-restoration="qiv_badge" style="[^"]*background:rgba\([^)]*,1\))")))
      << "an opaque badge hides its whole item";
  for (const auto& line : t.of("console")) EXPECT_FALSE(has(line["text"], "rror")) << line["text"];

  // The extension process names the category of the buttons and attaches
  // the image downloaded from the service, inside the run's folder; the tap
  // on button b1 calls the host back with the payload ({{base}} substituted)
  // and opens the button's link.
  std::string host;
  for (const auto& line : t.of("host")) host += line.dump() + "\n";
  for (const auto& part :
       std::vector<std::string>{"title: Your cart misses you\\n", "category: 601\\n",
                                "attachment: " + out + "/attachments/", "qiv_img_601.jpg",
                                R"("pushClick":{)", R"("zbid":"601")", R"("m":"http://127.0.0.1:)",
                                R"("openedUrl":"tavrinodemo://cart"})"}) {
    EXPECT_TRUE(has(host, part)) << part;
  }
}

TEST_F(SimRunTest, MalformedScenariosAndUnreachableServicesStopWithAClearMessage) {
  const auto broken = dir.path() / "broken.json";
  std::ofstream(broken) << "{\"steps\": [";
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{"--scenario", broken.string()}, 1, "broken.json: not JSON"},
      {{"--service", service::refusingBaseUrl()}, 1, "cannot reach the service at "},
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

// Against a service given by address, its hits read back through its control
// endpoint. Steps that cannot do their job warn and the run goes on: with no
// registration there is no notification delegate, and the host forwards taps.
TEST_F(SimRunTest, ReadableTimelineOfAServiceGivenByAddressIsPlainInAPipeAndFailedStepsWarn) {
  service::Service external;
  const std::string base = external.start();
  ASSERT_FALSE(base.empty());
  const auto scenario = (dir.path() / "scenario.json").string();
  std::ofstream(scenario) << R"({
    "sdk": {"companySettings": false}, "screens": {"Home": {"class": "H"}}, "steps": [
      {"show": "Home", "page": {"p": "Home"}}, {"tap": {"title": "Nothing"}},
      {"pushTap": {"action": "organic"}}, {"push": {"payload": {}}},
      {"pushTap": {"action": "organic"}}]})";
  const std::vector<std::string> args = {"--no-png", "--service",  base,    "--out",
                                         out(),      "--scenario", scenario};
  const Finished run = runProgram(TAVRINO_SIM_PATH, args, 120s);
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_FALSE(has(run.output, "\x1b[")) << "no colour codes in a pipe";
  for (const auto& line : std::vector<std::string>{
           " host    show Home p=Home", " hit     GET /d", " warning no view on screen to tap",
           "there is nothing to tap", "notification extension failed (exit code 2)",
           "application receives the notification", "no notification delegate: Util::pushClicked",
           "pictures: " + out() + "/pictures"}) {
    EXPECT_TRUE(has(run.output, line)) << line;
  }
  EXPECT_EQ(external.requests("/d").size(), 1u);
  EXPECT_FALSE(has(run.output, "GET /t")) << "no campaign, no delivery or click report";
  auto colour = args;
  colour.push_back("--color");
  EXPECT_TRUE(has(runProgram(TAVRINO_SIM_PATH, colour, 120s).output, "\x1b[1;36m")) << "asked for";
}

}  // namespace
}  // namespace tavrino::testing
