// A click end to end over loopback: a page view's pop-up reaches the host's
// screen, and a tap on its OK button is reported, recorded, raises the click
// event (which releases the action filed for it) and closes the banner.

#include "banner/controller_test.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {
namespace {

class ClickE2ETest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
    window->setRootViewController(view);
    application().setKeyWindow(window);
  }
  void TearDown() override {
    application().setKeyWindow(nullptr);
    EngineTest::TearDown();
  }
  platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }
  // The banner on the host's screen, or null.
  std::shared_ptr<popUpController> shown() {
    for (const auto& child : view->children()) {
      auto banner = std::dynamic_pointer_cast<popUpController>(child);
      if (banner && banner->isViewLoaded() && banner->view()->superview() == view->view()) {
        return banner;
      }
    }
    return nullptr;
  }

  std::shared_ptr<ui::Window> window;
};

TEST_F(ClickE2ETest, OkTapIsReportedRecordedRaisedAndCloses) {
  answerWith(Value::array({{{"function", "ui_sb"},
                            {"params",
                             {{"uvp", "p"},
                              {"zbid", "9"},
                              {"zid", "1"},
                              {"clickid", "2"},
                              {"bsc", "imgtxt"},
                              {"img", baseUrl + "img/pop.png"},
                              {"btx", "Go"},
                              {"clcend", "30"},
                              {"appid", "shop"},
                              {"di", "banner"}}}},
                           {{"function", "add_act"},
                            {"params",
                             {{"id", "30"},
                              {"di", "i"},
                              {"pt", "v"},
                              {"v", "x"},
                              {"e", "CUSTOMEVENT"},
                              {"ce", "qivo.custom.qiv_click_9_2"}}}}})
                 .dump());
  ASSERT_TRUE(pageView());
  ASSERT_TRUE(waitUntil([&] { return shown() != nullptr; }));
  auto banner = shown();
  const auto end = std::to_string(clock().epochSeconds() + 1800);

  auto ok = button(banner->view(), "Go");
  ASSERT_TRUE(ok && ok->sendTouchUpInside());
  expectQuery(awaitRequestWith(dispatch(), service, "/t", "a", "c"),
              "zbid=9&di=banner&s=1234&p=Home");
  EXPECT_EQ(Util::readDefault("qiv_c_9"), "1 " + end);
  EXPECT_EQ(Util::readDefault("qiv_lzbidshop"), "9 " + end);
  EXPECT_TRUE(Util::hasUniqueCookie("9", "2", "C")) << "the click marker";
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_9_2"));
  awaitRequestWith(dispatch(), service, "/t", "aid", "30");

  EXPECT_FALSE(shown()) << "no target: the click only closes";
  EXPECT_EQ(banner->closecounter, 0) << "a click is not the user closing";
  EXPECT_TRUE(application().openedURLs().empty());
}

}  // namespace
}  // namespace tavrino::testing
