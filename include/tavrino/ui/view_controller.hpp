#pragma once

// View controllers: what a host screen is to the SDK. Host screens subclass
// ViewController (passing their class name) and reach the SDK as shared
// pointers.
//
// Thread-safety: main thread only.

#include <memory>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/runtime/object.hpp"
#include "tavrino/ui/view.hpp"

namespace tavrino::ui {

class TAVRINO_EXPORT ViewController : public runtime::Object,
                                      public std::enable_shared_from_this<ViewController> {
 public:
  // className: the unqualified class name the SDK reports and looks host
  // methods up by.
  explicit ViewController(std::string className = "UIViewController");
  ~ViewController() override;

  std::string className() const override { return className_; }

  // The root view, created on first use.
  const std::shared_ptr<View>& view();
  bool isViewLoaded() const { return view_ != nullptr; }

  std::shared_ptr<ViewController> parent() const;
  const std::vector<std::shared_ptr<ViewController>>& children() const { return children_; }
  void addChild(const std::shared_ptr<ViewController>& child);
  void removeFromParent();

  // Controllers live in shared pointers; children and presented controllers
  // are owned, parents and presenters known by weak reference.
  // The controller this one presents modally, or null.
  std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
  std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }
  // As on the platform, the outermost container of this controller (itself
  // when in none) presents controller, over all of it. A controller with a
  // parent is never presented.
  void present(const std::shared_ptr<ViewController>& controller);
  // The presenter takes away what the outermost container presents, else
  // that container itself.
  void dismiss();

 protected:
  // Creates the root view; override for a custom one.
  virtual std::shared_ptr<View> loadView();
  // Takes child out of the children, if it is one.
  void removeChild(const std::shared_ptr<ViewController>& child);
  // Replaces the root view (null: a new one is made on next use). The old
  // view stays wherever it hangs; the caller decides what becomes of it.
  void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

 private:
  std::string className_;
  std::shared_ptr<View> view_;
  std::weak_ptr<ViewController> parent_;
  // The parent that adopted this controller while it was being constructed,
  // before it could hand out weak references to itself.
  ViewController* constructingParent_ = nullptr;
  std::vector<std::shared_ptr<ViewController>> children_;
  std::shared_ptr<ViewController> presented_;
  std::weak_ptr<ViewController> presenting_;
};

// A stack of controllers; the top one is shown.
class TAVRINO_EXPORT NavigationController : public ViewController {
 public:
  explicit NavigationController(std::shared_ptr<ViewController> root = nullptr,
                                std::string className = "UINavigationController");

  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return children(); }
  void pushViewController(const std::shared_ptr<ViewController>& controller);
  std::shared_ptr<ViewController> popViewController();
  std::shared_ptr<ViewController> topViewController() const;
  // The top controller, or what it presents.
  std::shared_ptr<ViewController> visibleViewController() const;

 protected:
  // The root view, showing the top controller's view.
  std::shared_ptr<View> loadView() override;
};

// Tabs of controllers; the selected one is shown.
class TAVRINO_EXPORT TabBarController : public ViewController {
 public:
  explicit TabBarController(std::string className = "UITabBarController");

  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return children(); }
  void setViewControllers(const std::vector<std::shared_ptr<ViewController>>& controllers);
  std::size_t selectedIndex() const { return selectedIndex_; }
  void setSelectedIndex(std::size_t index);
  std::shared_ptr<ViewController> selectedViewController() const;

 protected:
  // The root view, showing the selected controller's view.
  std::shared_ptr<View> loadView() override;

 private:
  std::size_t selectedIndex_ = 0;
};

}  // namespace tavrino::ui
