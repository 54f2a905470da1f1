// Social proof: when a count is fetched, where from, how the answer is read
// and how it lands in the banner's texts, and a slow host that must not hold
// up the main loop.

#include <chrono>

#include "banner/image_test.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;

class SocialProofTest : public testing::ImageTest {
 protected:
  // A banner asking for the count of campaign 5, item 7.
  static Value counted(Value texts) {
    Value params = {{"zbid", "11"}, {"_spid", "5"}, {"_spidf", "pid"}, {"_spiid", "7"}};
    params.update(texts);
    return params;
  }
};

TEST_F(SocialProofTest, CountFillsEveryPlaceholderBeforeTheImageAndTheBanner) {
  socialProof({{"", "5", "7", 42}});
  const Value params =
      counted({{"cap", "$$total$$ people look at this"},
               {"sub", "$$TOTAL$$ / $$Total$$"},
               {"run", {{"run_parameter", "n=$$total$$"}, {"depth", {1, "$$total$$"}}}},
               {"w", 120}});
  auto banner = present(image("p.png"), params, "img", {{"pid", "a b&t=9"}});

  const auto requests = service.requests();
  ASSERT_GE(requests.size(), 2u);  // the count, the image (then the impression report)
  EXPECT_EQ(requests[0].path, "/sproof/");
  EXPECT_EQ(requests[0].queryValue("s"), "a b&t=9") << "the client value is one query value";
  EXPECT_EQ(requests[0].queryValue("t"), "5");
  EXPECT_EQ(requests[0].queryValue("i"), "7");
  EXPECT_EQ(requests[0].queryValue("e"), "g");
  EXPECT_EQ(requests[1].path, "/img/p.png");

  const Value& shown = banner->sender_customArray;
  EXPECT_EQ(shown["cap"], "42 people look at this");
  EXPECT_EQ(shown["sub"], "42 / 42");
  // Nested values are filled in place; the "run" map stays a map.
  ASSERT_TRUE(shown["run"].is_object());
  EXPECT_EQ(shown["run"]["run_parameter"], "n=42");
  EXPECT_EQ(shown["run"]["depth"][1], "42");
  EXPECT_EQ(shown["w"], 120);
  EXPECT_TRUE(attached(*banner));
}

TEST_F(SocialProofTest, NoFetchUnlessTheCampaignAndThePageAskForIt) {
  socialProof({{"", "5", "7", 42}});
  struct Case {
    const char* name;
    Value params;
    StringMap client;
  };
  const Case cases[] = {
      {"_spid 0", counted({{"_spid", "0"}, {"cap", "$$total$$"}}), {{"pid", "x"}}},
      {"_spid negative", counted({{"_spid", "-5"}, {"cap", "$$total$$"}}), {{"pid", "x"}}},
      {"_spid no whole number", counted({{"_spid", "5.5"}, {"cap", "$$total$$"}}), {{"pid", "x"}}},
      {"no client value", counted({{"cap", "$$total$$"}}), {{"other", "x"}}},
      {"no placeholder", counted({{"cap", "plain"}}), {{"pid", "x"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto banner = present("", c.params, "img", c.client);
    EXPECT_EQ(banner->sender_customArray["cap"], c.params["cap"]) << "the text stays as it was";
  }
  EXPECT_TRUE(service.requests("/sproof").empty());
}

TEST_F(SocialProofTest, FailedFetchFillsInZero) {
  for (const auto failure :
       {service::Failure::status500, service::Failure::dropConnection, service::Failure::garbage}) {
    service.setBehavior("/sproof/", service::Behavior::failing(failure));
    auto banner = present("", counted({{"cap", "$$total$$ here"}}), "img", {{"pid", "x"}});
    EXPECT_EQ(banner->sender_customArray["cap"], "0 here");
    EXPECT_TRUE(attached(*banner));
  }
  socialProof({});  // the service knows no count: the answer is []
  service.clearBehaviors();
  auto banner = present("", counted({{"cap", "$$total$$"}}), "img", {{"pid", "x"}});
  EXPECT_EQ(banner->sender_customArray["cap"], "0");
}

TEST_F(SocialProofTest, SlowHostDoesNotBlockTheMainLoop) {
  socialProof({{"", "5", "7", 8}});
  service.setBehavior("/sproof/", service::Behavior::delayed(1500ms));
  const auto began = std::chrono::steady_clock::now();
  auto banner = start(image("slow.png"), counted({{"cap", "$$total$$"}}), "img", {{"pid", "x"}});
  EXPECT_LT(std::chrono::steady_clock::now() - began, 1s) << "downloadImage returned at once";

  int served = 0;
  for (int i = 0; i < 20; ++i) dispatch().mainAsync([&] { ++served; });
  dispatch().runUntil([&] { return served == 20; }, 1s);
  EXPECT_EQ(served, 20) << "the loop served the host while the count was awaited";
  EXPECT_TRUE(service.requests("/img/").empty()) << "the image waits for the count";
  EXPECT_EQ(count("imageSet called."), 0u);

  ASSERT_TRUE(waitUntil([&] { return count("imageSet called.") == 1; }));
  EXPECT_EQ(banner->sender_customArray["cap"], "8");
  EXPECT_FALSE(banner->activityImage.isEmpty());
}

TEST_F(SocialProofTest, AnswerIsReadFromTheFirstElementThatCarriesAWholeCount) {
  const auto read = [](std::string_view answer) {
    return banner::socialProofCount(Data(answer.begin(), answer.end()), "5", "7");
  };
  EXPECT_EQ(read(R"([{"7": {"5": 3}}, {"7": {"5": 9}}])"), 3) << "the first wins";
  EXPECT_EQ(read(R"([1, {"7": 2}, {"8": {"5": 1}}, {"7": {"5": 9}}])"), 9);
  EXPECT_EQ(read(R"([{"7": {"5": "4"}}, {"7": {"5": 4.5}}, {"7": {"5": 6.0}}])"), 6)
      << "texts and fractions are no count";
  EXPECT_EQ(read(R"([{"7": {"5": 18446744073709551615}}])"), 0) << "beyond 64 bits";
  EXPECT_EQ(read(R"([{"7": {"5": -2}}])"), -2);
  EXPECT_EQ(read(R"({"7": {"5": 3}})"), 0) << "not an array";
  EXPECT_EQ(read("not json"), 0);
  EXPECT_EQ(read(""), 0);
}

TEST_F(SocialProofTest, OriginIsASchemeAndAHostOnly) {
  EXPECT_EQ(banner::socialProofUrl("a", "5", "7"), baseUrl + "sproof/?s=a&t=5&i=7&e=g");
  ASSERT_TRUE(banner::setSocialProofOrigin("https://proof.example:8443/"));
  EXPECT_EQ(banner::socialProofOrigin(), "https://proof.example:8443");
  for (const char* refused :
       {"", "proof.example", "ftp://proof.example", "https://", "https://proof.example/path",
        "https://proof.example?x=1", "https://user@proof.example", "https://proof example",
        "https://proof.example\r\nX: y", "https://proof.example#f"}) {
    EXPECT_FALSE(banner::setSocialProofOrigin(refused)) << refused;
  }
  EXPECT_EQ(banner::socialProofOrigin(), "https://proof.example:8443");
  EXPECT_TRUE(log().contains("social proof origin refused : ftp://proof.example"));
  EXPECT_EQ(banner::socialProofUrl("\xff", "5", "7"), std::nullopt);
}

}  // namespace
}  // namespace tavrino
