// A click end to end over loopback: a page view's pop-up reaches the host's
// screen, and a tap on its OK button is reported, recorded, raises the click
// event (which releases the action filed for it) and closes the banner.

#include "banner/controller_test.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {
namespace {

class ClickE2ETest : public EngineTest {};

TEST_F(ClickE2ETest, OkTapIsReportedRecordedRaisedAndCloses) {
  auto window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
  window->setRootViewController(view);
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  application.setKeyWindow(window);
  answerWith(R"([{"function": "ui_sb", "params": {"uvp": "p", "zbid": "9", "zid": "1",
      "clickid": "2", "bsc": "imgtxt", "img": ")" +
             baseUrl + R"(img/pop.png", "btx": "Go", "clcend": "30", "appid": "shop",
      "di": "banner"}},
    {"function": "add_act", "params": {"id": "30", "di": "i", "pt": "v", "v": "x",
      "e": "CUSTOMEVENT", "ce": "qivo.custom.qiv_click_9_2"}}])");
  ASSERT_TRUE(pageView());
  // The banner on the host's screen, or null.
  const auto shown = [&]() -> std::shared_ptr<popUpController> {
    for (const auto& child : view->children()) {
      auto banner = std::dynamic_pointer_cast<popUpController>(child);
      if (banner && banner->isViewLoaded() && banner->view()->superview() == view->view())
        return banner;
    }
    return nullptr;
  };
  ASSERT_TRUE(waitUntil([&] { return shown() != nullptr; }));
  auto banner = shown();
  const auto end = std::to_string(clock().epochSeconds() + 1800);

  auto ok = button(banner->view(), "Go");
  ASSERT_TRUE(ok && ok->sendTouchUpInside());
  expectQuery(awaitRequestWith(dispatch(), service, "/t", "a", "c"),
              "zbid=9&di=banner&s=1234&p=Home");
  EXPECT_EQ(std::pair(Util::readDefault("qiv_c_9"), Util::readDefault("qiv_lzbidshop")),
            std::pair("1 " + end, "9 " + end));
  EXPECT_TRUE(Util::hasUniqueCookie("9", "2", "C")) << "the click marker";
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_9_2"));
  awaitRequestWith(dispatch(), service, "/t", "aid", "30");

  EXPECT_FALSE(shown()) << "no target: the click only closes";
  EXPECT_EQ(banner->closecounter, 0) << "a click is not the user closing";
  EXPECT_TRUE(application.openedURLs().empty());
  application.setKeyWindow(nullptr);
}

}  // namespace
}  // namespace tavrino::testing
