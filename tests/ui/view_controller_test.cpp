#include <gtest/gtest.h>

#include <memory>

#include "tavrino/ui/window.hpp"
#include "ui/tree_mirror.hpp"

namespace tavrino {
namespace {

using ui::NavigationController;
using ui::TabBarController;
using ui::ViewController;

std::shared_ptr<ViewController> controller(const char* name) {
  return std::make_shared<ViewController>(name);
}

TEST(ViewControllerTest, ChildrenAndPresentationHaveNoCycles) {
  auto a = controller("A");
  auto b = controller("B");
  auto c = controller("C");
  a->addChild(b);
  b->addChild(c);
  c->addChild(a);  // under its own descendant: refused
  EXPECT_EQ(a->parent(), nullptr);
  EXPECT_TRUE(c->children().empty());
  a->addChild(c);  // moves
  EXPECT_EQ(c->parent(), a);
  EXPECT_TRUE(b->children().empty());

  a->present(b);
  b->present(a);  // already presenting b
  EXPECT_EQ(b->presentedViewController(), nullptr);
  b->present(c);
  c->present(a);
  EXPECT_EQ(c->presentedViewController(), nullptr);
  a->present(c);  // one presentation at a time
  EXPECT_EQ(a->presentedViewController(), b);
  EXPECT_EQ(c->presentingViewController(), b);
  c->dismiss();  // a presented controller asks its presenter
  EXPECT_EQ(b->presentedViewController(), nullptr);

  std::weak_ptr<ViewController> watched = c;
  b->present(c);
  c.reset();
  b.reset();
  a.reset();
  EXPECT_TRUE(watched.expired());
}

// The stack and the tabs show exactly one screen, and the mirror follows.
TEST(ViewControllerTest, NavigationAndTabsShowOneScreen) {
  auto home = controller("Home");
  auto nav = std::make_shared<NavigationController>(home);
  EXPECT_EQ(home->parent(), nav);  // adopted while nav was being built
  auto window = ui::Window::make(ui::Rect::make(0, 0, 320, 480));
  window->setRootViewController(nav);
  auto mirror = std::make_shared<testing::TreeMirror>(*window);
  window->setTreeObserver(mirror);

  auto detail = controller("Detail");
  nav->pushViewController(detail);
  EXPECT_EQ(nav->view()->subviews(), std::vector{detail->view()});
  EXPECT_EQ(home->view()->window(), nullptr);
  detail->present(controller("Sheet"));
  EXPECT_EQ(nav->visibleViewController(), detail);  // the top one presents, not nav
  nav->present(controller("Modal"));
  EXPECT_EQ(nav->visibleViewController()->className(), "Modal");
  EXPECT_EQ(nav->popViewController(), detail);
  EXPECT_EQ(nav->popViewController(), nullptr);  // the root stays
  EXPECT_EQ(home->view()->window(), window);
  EXPECT_EQ(mirror->views, testing::TreeMirror::expected(*window));

  auto tabs = std::make_shared<TabBarController>();
  auto one = controller("One");
  auto two = controller("Two");
  tabs->setViewControllers({one, two});
  tabs->setSelectedIndex(1);
  tabs->setSelectedIndex(5);  // out of range: ignored
  EXPECT_EQ(tabs->view()->subviews(), std::vector{two->view()});
  auto three = controller("Three");
  tabs->setViewControllers({three});
  EXPECT_EQ(one->parent(), nullptr);
  EXPECT_EQ(two->view()->superview(), nullptr);
  EXPECT_EQ(tabs->view()->subviews(), std::vector{three->view()});
}

}  // namespace
}  // namespace tavrino
