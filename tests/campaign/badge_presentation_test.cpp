// ui_sb (the image a campaign shows, its start delay on the main loop's
// clock) and listing badges (definitions laid over the host's item views,
// the price placeholder, replacing earlier badges, the host method).

#include <chrono>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/campaign/ui_sb.hpp"
#include "tavrino/client.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/text_view.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using runtime::Registry;

class ListScreen : public ui::ViewController {
 public:
  ListScreen() : ViewController("ListScreen") {}
  std::vector<std::string> badged;
};

constexpr std::string_view kItems =
    R"([{"i": "1", "p": "200"}, {"i": 2, "p": "50"}, {"i": "3", "p": "9"}, {"i": "4", "p": "1"}])";

class BadgePresentationTest : public testing::SdkTest {
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
    // Items 1 and 3 in the list, item 2 inside a wrapper, no view for item 4.
    auto list = ui::View::make();
    auto wrapper = ui::View::make();
    screen->view()->addSubview(list);
    for (const char* id : {"1", "2", "3"}) {
      cells[id] = ui::View::make(ui::Rect::make(0, 80.0 * (id[0] - '0'), 390, 80));
      cells[id]->setRestorationIdentifier(std::string("prd_") + id);
      (id[0] == '2' ? wrapper : list)->addSubview(cells[id]);
    }
    list->addSubview(wrapper);
  }
  void TearDown() override {
    banner::BadgeDefinitions::shared().clear();
    Registry::shared().resetForTesting();
    SdkTest::TearDown();
  }

  void show(const Value& params) {
    ui_sb().setParameters(params, screen, "https://s.example/", {});
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
  // "id:text" of each badge on the items 1 to 3, a badge without text as "?".
  std::string badges() {
    std::string all;
    for (const auto& [id, cell] : cells) {
      for (const auto& view : cell->subviews()) {
        if (view->restorationIdentifier() != "qiv_badge") continue;
        auto text = view->subviews().empty()
                        ? nullptr
                        : std::dynamic_pointer_cast<ui::TextView>(view->subviews()[0]);
        all += (all.empty() ? "" : " ") + id + ":" + (text ? text->text() : "?");
      }
    }
    return all;
  }

  std::shared_ptr<ListScreen> screen = std::make_shared<ListScreen>();
  std::map<std::string, std::shared_ptr<ui::View>> cells;
};

TEST_F(BadgePresentationTest, ImageUrlAndStartDelayFromTheCampaign) {
  // Port 9 on loopback refuses at once: nothing leaves the machine. "bdgai"
  // takes the last "sub" entry over "img"; no "http": "https:" goes in front.
  show({{"bsc", "bdgai"}, {"img", "x"}, {"sub", R"([{"p": "a"}, {"p": "127.0.0.1:9/b.png"}])"}});
  EXPECT_TRUE(log().contains("downloadImage url : https:127.0.0.1:9/b.png"));
  show({{"bsc", 3}, {"img", "x"}});
  EXPECT_TRUE(log().contains("ui_sb setParameters bsc is not a text.return."));

  log().clear();
  show({{"bsc", "img"}, {"stde", "3"}});
  dispatch().runFor(2999ms);
  EXPECT_FALSE(log().contains("downloadImage called."));
  dispatch().runFor(1ms);
  EXPECT_TRUE(log().contains("imageSet called."));
  // No whole number of at least 0: at once, with a log line.
  show({{"bsc", "img"}, {"stde", "-2"}});
  EXPECT_TRUE(log().contains("ui_sb start delay is not a whole number : -2"));
}

TEST_F(BadgePresentationTest, BadgesLandOnTheListedItemViewsAndTheHostHearsOfThem) {
  banner::BadgeDefinitions::shared().set(
      "40", definition("Only $$FORMATTED$$ ($$FORMATTED$$)", {{"y", "10"}, {"o", "%"}}));
  // Unusable lists lay nothing; the host hears of no item.
  for (const char* qivlid : {"not json", R"({"i": "1"})", R"([1, "x", null])"}) activate(qivlid);
  Tavrino::activateListingBadge(screen, {{"other", "1"}});
  Tavrino::activateListingBadge(nullptr, {{"qivlid", std::string(kItems)}});
  EXPECT_EQ(badges(), "");
  EXPECT_EQ(screen->badged, (std::vector<std::string>{"", "", ""}));
  screen->badged.clear();
  // Item 2 is found below a wrapper; 3 is not among the definition's ids; 4
  // has no view: no badge, but the host hears of it.
  activate(kItems);
  EXPECT_EQ(badges(), "1:Only 180,00 (180,00) 2:Only 45,00 (45,00)");
  EXPECT_EQ(cells["1"]->subviews()[0]->frame(), ui::Rect::make(0, 0, 390, 80)) << "at 0,0";
  EXPECT_EQ(screen->badged, std::vector<std::string>{"1,2,4"});

  // Again, and with a second definition: each item keeps one badge, the last
  // registered definition's; no price format takes the placeholder away.
  Value other = definition("Other $$FORMATTED$$!");
  other.erase("run");
  banner::BadgeDefinitions::shared().set("41", other);
  activate(kItems);
  EXPECT_EQ(badges(), "1:Other ! 2:Other !");
  EXPECT_EQ(screen->badged.size(), 2u) << "a definition without \"run\" calls nothing";

  // An image badge shows the image its campaign fetched.
  const ui::Image fetched(40, 20, Data{1, 2});
  std::make_shared<popUpController>()->createBanner(
      screen, fetched, {{"zbid", "50"}, {"bc", "badge"}, {"ids", "1"}, {"slc", "prd_"}}, "bdgai",
      {390, 844}, {});
  activate(kItems);
  ASSERT_EQ(badges(), "1:? 2:Other !");
  auto button =
      std::dynamic_pointer_cast<ui::customButton>(cells["1"]->subviews().back()->subviews().at(0));
  EXPECT_TRUE(button && button->image() == fetched);
}

}  // namespace
}  // namespace tavrino
