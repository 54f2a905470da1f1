#pragma once

// The window: the root of a view tree, with the root view controller and the
// host's tree observer.
//
// Thread-safety: main thread only.

#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/ui/view.hpp"
#include "tavrino/ui/view_controller.hpp"

namespace tavrino::ui {

class TAVRINO_EXPORT Window : public View {
 public:
  explicit Window(Rect frame = {});
  static std::shared_ptr<Window> make(Rect frame = {});

  std::string_view kind() const override;

  std::shared_ptr<ViewController> rootViewController() const { return root_; }
  // Shows controller's view filling the window, replacing the earlier root.
  void setRootViewController(const std::shared_ptr<ViewController>& controller);

  // The observer told about every view attached, detached or changed under
  // this window. Installing one reports the views already there as attached
  // (the direct subviews, each standing for its subtree).
  void setTreeObserver(std::shared_ptr<TreeObserver> observer);
  const std::shared_ptr<TreeObserver>& treeObserver() const { return observer_; }

 private:
  std::shared_ptr<ViewController> root_;
  std::shared_ptr<TreeObserver> observer_;
};

// The application's key window (platform::Application::keyWindow()), or null
// before the host showed one.
TAVRINO_EXPORT std::shared_ptr<Window> keyWindow();

}  // namespace tavrino::ui
