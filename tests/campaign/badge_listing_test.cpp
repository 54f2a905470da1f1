// Listing badges: the registered definitions laid over the host's item
// views, the price placeholder, replacing earlier badges, the host method
// with the badged items, and activations that wait for the answer.

#include <gtest/gtest.h>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/client.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

using runtime::Registry;

class ListScreen : public ui::ViewController {
 public:
  ListScreen() : ViewController("ListScreen") {}
  std::vector<std::string> badged;
};

class ListingBadgeTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    enableDebugLog();
    banner::BadgeDefinitions::shared().clear();
    Registry::shared().resetForTesting();
    Registry::shared().registerMethod<ListScreen>(
        "ListScreen", "badged", [](ListScreen& screen, const Value& argument) {
          screen.badged.push_back(argument.value("qivlid", std::string("-")));
        });
    processState().withCampaign([](CampaignState& c) { c.responseReady = true; });
    // Items 1 and 3 directly in the list, item 2 inside a wrapper, no item 4.
    auto list = ui::View::make(ui::Rect::make(0, 0, 390, 600));
    auto wrapper = ui::View::make();
    screen->view()->addSubview(list);
    for (const char* id : {"1", "2", "3"}) {
      auto cell = ui::View::make(ui::Rect::make(0, 80.0 * (id[0] - '0'), 390, 80));
      cell->setRestorationIdentifier(std::string("prd_") + id);
      cells[id] = cell;
      (std::string(id) == "2" ? wrapper : list)->addSubview(cell);
    }
    list->addSubview(wrapper);
  }
  void TearDown() override {
    banner::BadgeDefinitions::shared().clear();
    Registry::shared().resetForTesting();
    SdkTest::TearDown();
  }

  static Value definition(std::string_view message, Value style = Value::object()) {
    return {{"ids", {{"1", "1"}, {"2", "1"}, {"4", "1"}}},
            {"selector", "prd_"},
            {"function", "bdgat"},
            {"campaign_message", message},
            {"style", std::move(style)},
            {"run", {{"inline_function", "badged"}}}};
  }

  void activate(std::string_view qivlid) {
    Tavrino::activateListingBadge(screen, {{"qivlid", std::string(qivlid)}});
  }

  // The badges on an item's view.
  std::vector<std::shared_ptr<ui::View>> badges(const std::string& id) {
    std::vector<std::shared_ptr<ui::View>> found;
    for (const auto& view : cells[id]->subviews()) {
      if (view->restorationIdentifier() == "qiv_badge") found.push_back(view);
    }
    return found;
  }
  std::string badgeText(const std::string& id) {
    const auto all = badges(id);
    if (all.size() != 1 || all[0]->subviews().empty()) return "-";
    auto text = std::dynamic_pointer_cast<ui::TextView>(all[0]->subviews()[0]);
    return text ? text->text() : "-";
  }

  std::shared_ptr<ListScreen> screen = std::make_shared<ListScreen>();
  std::map<std::string, std::shared_ptr<ui::View>> cells;
};

constexpr std::string_view kItems =
    R"([{"i": "1", "p": "200"}, {"i": 2, "p": "50"}, {"i": "3", "p": "9"}, {"i": "4", "p": "1"}])";

TEST_F(ListingBadgeTest, BadgesLandOnTheListedItemViewsAndTheHostHearsOfThem) {
  banner::BadgeDefinitions::shared().set(
      "40", definition("Only $$FORMATTED$$ ($$FORMATTED$$)",
                       {{"y", "10"}, {"o", "%"}, {"tseperator", "."}, {"dseperator", ","}}));
  activate(kItems);

  ASSERT_EQ(badges("1").size(), 1u);
  EXPECT_EQ(badges("1")[0]->frame(), ui::Rect::make(0, 0, 390, 80)) << "the item's size at 0,0";
  EXPECT_EQ(badgeText("1"), "Only 180,00 (180,00)");
  EXPECT_EQ(badgeText("2"), "Only 45,00 (45,00)") << "found below a wrapper";
  EXPECT_TRUE(badges("3").empty()) << "not among the definition's ids";
  // Item 4 has no view: no badge, but the host still hears of it.
  EXPECT_EQ(screen->badged, std::vector<std::string>{"1,2,4"});
  EXPECT_TRUE(log().contains("add badge to : prd_2"));
  EXPECT_TRUE(log().contains("checklist set map : 1,2,4"));
}

TEST_F(ListingBadgeTest, ActivatingAgainReplacesTheBadges) {
  banner::BadgeDefinitions::shared().set("40", definition("Sale $$FORMATTED$$!"));
  activate(kItems);
  activate(kItems);
  ASSERT_EQ(badges("1").size(), 1u);
  EXPECT_EQ(badgeText("1"), "Sale !") << "no price format: the placeholder goes";
  EXPECT_EQ(screen->badged, (std::vector<std::string>{"1,2,4", "1,2,4"}));

  // A second definition badges the same items; each item keeps one badge.
  Value other = definition("Other");
  other.erase("run");
  banner::BadgeDefinitions::shared().set("41", other);
  activate(kItems);
  ASSERT_EQ(badges("2").size(), 1u);
  EXPECT_EQ(badgeText("2"), "Other") << "definitions apply in the order they were registered";
  EXPECT_EQ(screen->badged.size(), 3u) << "a definition without \"run\" calls nothing";
}

TEST_F(ListingBadgeTest, UnusableListsLayNothing) {
  banner::BadgeDefinitions::shared().set("40", definition("x"));
  for (const char* qivlid : {"not json", R"({"i": "1"})", R"([1, "x", null])", "[]"}) {
    activate(qivlid);
  }
  Tavrino::activateListingBadge(screen, {{"other", "1"}});
  Tavrino::activateListingBadge(nullptr, {{"qivlid", std::string(kItems)}});
  EXPECT_TRUE(badges("1").empty());
  EXPECT_EQ(screen->badged, (std::vector<std::string>{"", "", "", ""}))
      << "each list heard of, with no items";
}

TEST_F(ListingBadgeTest, ActivationBeforeTheAnswerWaits) {
  banner::BadgeDefinitions::shared().set("40", definition("x"));
  processState().withCampaign([](CampaignState& c) { c.responseReady = false; });
  activate(kItems);
  EXPECT_TRUE(log().contains("d response not ready"));
  EXPECT_TRUE(badges("1").empty());
  const auto waiting = processState().withCampaign([](CampaignState& c) {
    return std::make_pair(c.pendingBadgeRequested, c.pendingBadgeMaps.size());
  });
  EXPECT_TRUE(waiting.first);
  EXPECT_EQ(waiting.second, 1u);
}

}  // namespace
}  // namespace tavrino
