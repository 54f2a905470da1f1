#pragma once

// The SDK's retained view tree. Views are plain data (frame, identifiers,
// colour, alpha, visibility) arranged in a tree; a window at the root tells a
// host-installed TreeObserver about every change, so a host toolkit can
// mirror the tree with its own widgets.
//
// Thread-safety: main thread only, like the host toolkit's own views.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"

namespace tavrino::ui {

class View;
class Window;

enum class ViewChange { frame, content, visibility };

// Receives, on the main thread, every change of the tree under a window.
class TAVRINO_EXPORT TreeObserver {
 public:
  virtual ~TreeObserver();
  // view (with its whole subtree) was attached under a window.
  virtual void viewAttached(const View& view) = 0;
  // view (with its whole subtree) left the window.
  virtual void viewDetached(const View& view) = 0;
  virtual void viewChanged(const View& view, ViewChange change) = 0;
};

class TAVRINO_EXPORT View : public std::enable_shared_from_this<View> {
 public:
  explicit View(Rect frame = {});
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  static std::shared_ptr<View> make(Rect frame = {});

  // What kind of view this is, for observers: "View", "Window", and the
  // kinds of the subclasses.
  virtual std::string_view kind() const;
  // Unique for the life of the process; observers key their widgets by it.
  std::uint64_t identity() const { return identity_; }

  Rect frame() const { return frame_; }
  void setFrame(Rect frame);
  // The frame's size at origin 0,0.
  Rect bounds() const;

  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  // Adds view on top of the others, taking it from its earlier superview.
  void addSubview(const std::shared_ptr<View>& view);
  void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
  void bringSubviewToFront(const std::shared_ptr<View>& view);
  void removeFromSuperview();
  // The window this view is shown in, or null.
  std::shared_ptr<Window> window() const;

  const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
  void setAccessibilityIdentifier(std::string identifier);
  const std::string& restorationIdentifier() const { return restorationIdentifier_; }
  void setRestorationIdentifier(std::string identifier);

  std::optional<Color> backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<Color> color);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);

 protected:
  // Tells the window's observer, if any, that this view changed.
  void notifyChanged(ViewChange change);

 private:
  void detachFromSuperview();

  std::uint64_t identity_;
  Rect frame_;
  std::vector<std::shared_ptr<View>> subviews_;
  std::weak_ptr<View> superview_;
  std::string accessibilityIdentifier_;
  std::string restorationIdentifier_;
  std::optional<Color> backgroundColor_;
  double alpha_ = 1;
  bool hidden_ = false;
};

}  // namespace tavrino::ui
