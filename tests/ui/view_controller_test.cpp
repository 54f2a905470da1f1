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

  a->present(b);  // a child is never presented
  EXPECT_EQ(a->presentedViewController(), nullptr);
  auto d = controller("D");
  auto e = controller("E");
  a->present(d);
  d->present(a);  // already presenting d
  EXPECT_EQ(d->presentedViewController(), nullptr);
  d->present(e);
  e->present(a);
  EXPECT_EQ(e->presentedViewController(), nullptr);
  a->present(e);  // one presentation at a time
  EXPECT_EQ(a->presentedViewController(), d);
  EXPECT_EQ(e->presentingViewController(), d);
  e->dismiss();  // a presented controller asks its presenter
  EXPECT_EQ(d->presentedViewController(), nullptr);

  std::weak_ptr<ViewController> watched = e;
  d->present(e);
  e.reset();
  d.reset();
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
  auto sheet = controller("Sheet");
  detail->present(sheet);             // over the whole stack: nav presents
  nav->present(controller("Modal"));  // one at a time
  const auto name = [](const auto& c) { return c ? c->className() : "none"; };
  EXPECT_EQ(
      std::vector({name(sheet->presentingViewController()), name(nav->visibleViewController())}),
      std::vector<std::string>({"UINavigationController", "Sheet"}));
  detail->dismiss();
  EXPECT_EQ(name(nav->visibleViewController()), "Detail");
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
