#include "tavrino/ui/window.hpp"
#include "ui/tree_mirror.hpp"

namespace tavrino {
namespace {

using ui::NavigationController;
using ui::TabBarController;
using ui::View;
using ui::ViewController;

// (Leaks through cycles: the sanitizer run.)
TEST(ViewTreeTest, SuperviewIsWeakAndTheTreeHasNoCycles) {
  auto parent = View::make(), child = View::make(), grandchild = View::make();
  parent->addSubview(child);
  child->addSubview(grandchild);
  child->addSubview(parent);  // under its own descendant: refused
  grandchild->addSubview(grandchild);
  EXPECT_TRUE(parent->superview() == nullptr && grandchild->subviews().empty());
  parent.reset();  // the tree goes with its root
  EXPECT_EQ(child->superview(), nullptr);
}

std::shared_ptr<ViewController> controller(const char* name) {
  return std::make_shared<ViewController>(name);
}

TEST(ViewControllerTest, ChildrenAndPresentationHaveNoCycles) {
  auto a = controller("A"), b = controller("B"), c = controller("C");
  auto d = controller("D"), e = controller("E");
  a->addChild(b);
  b->addChild(c);
  c->addChild(a);  // under its own descendant: refused
  a->addChild(c);  // moves
  a->present(b);   // a child is never presented
  a->present(d);
  d->present(a);  // already presenting d
  d->present(e);
  e->present(a);  // already in the chain
  a->present(e);  // one presentation at a time
  const auto name = [](const auto& c) { return c ? c->className() : "-"; };
  EXPECT_EQ(std::vector({name(a->parent()), name(c->parent()), name(a->presentedViewController()),
                         name(d->presentedViewController()), name(e->presentedViewController())}),
            std::vector<std::string>({"-", "A", "D", "E", "-"}));
  EXPECT_TRUE(b->children().empty());
  e->dismiss();  // a presented controller asks its presenter
  EXPECT_EQ(d->presentedViewController(), nullptr);
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
  auto one = controller("One"), two = controller("Two");
  tabs->setViewControllers({one, two});
  tabs->setSelectedIndex(1);
  tabs->setSelectedIndex(5);  // out of range: ignored
  EXPECT_EQ(tabs->view()->subviews(), std::vector{two->view()});
  auto three = controller("Three");
  tabs->setViewControllers({three});
  EXPECT_EQ(one->parent(), nullptr);
  EXPECT_EQ(two->view()->superview(), nullptr);
  EXPECT_EQ(tabs->view()->subviews(), std::vector{three->view()});
  // A new root controller replaces the old one's tree.
  window->setRootViewController(tabs);
  EXPECT_EQ(std::pair(nav->view()->window(), mirror->views),
            std::pair(std::shared_ptr<ui::Window>(), testing::TreeMirror::expected(*window)));
}

}  // namespace
}  // namespace tavrino
