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

class GestureRecognizer;
class View;
class Window;

// frame: frame or bounds. content: what the view shows or is known by
// (background colour, border and corners, opacity, identifiers, whether it
// takes user interaction, its gesture recognisers, the order of its
// subviews, and whatever the subclasses draw). visibility: alpha or hidden.
enum class ViewChange { frame, content, visibility };

// Receives every change of the tree under a window, on the main thread,
// synchronously inside the call that made it: the tree is already in its new
// state, and the observer may read it (a view's superview and its place among
// the subviews) but must not change it. A host mirrors the tree by keying its
// widgets by View::identity(). The window itself is never attached; changes
// of the window's own properties are reported like any view's. Whatever an
// observer throws is logged and dropped.
class TAVRINO_EXPORT TreeObserver {
 public:
  virtual ~TreeObserver();
  // view, with its whole subtree, now hangs under the window.
  virtual void viewAttached(const View& view) = 0;
  // view, with its whole subtree (still hanging from view), left the window.
  virtual void viewDetached(const View& view) = 0;
  virtual void viewChanged(const View& view, ViewChange change) = 0;
};

// Views live in shared pointers (View::make, std::make_shared): a superview
// holds its subviews, a subview knows its superview by a weak reference, so
// the tree has no ownership cycles.
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

  // Back to front. Copy the list before removing views while walking it.
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  // Adds view on top of the others, taking it from its earlier superview.
  // Ignored for a null view, this view itself or one of its ancestors (no
  // cycles), and when this view is not held by a shared pointer.
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
  // A hint that the view fills its frame with opaque colour; true at first.
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque);

  // Border and corners, drawn inside the frame.
  std::optional<Color> borderColor() const { return borderColor_; }
  void setBorderColor(std::optional<Color> color);
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double width);
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double radius);
  // Whether subviews are clipped to the (rounded) frame.
  bool masksToBounds() const { return masksToBounds_; }
  void setMasksToBounds(bool masks);

  // Whether touches reach this view and its subviews; true at first.
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled);
  // Attaches recognizer to this view, taking it from any earlier view.
  void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
  void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const {
    return recognizers_;
  }

  // The size that fits its content within size; a plain view keeps its own.
  virtual Size sizeThatFits(Size size) const;

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
  bool opaque_ = true;
  std::optional<Color> borderColor_;
  double borderWidth_ = 0;
  double cornerRadius_ = 0;
  bool masksToBounds_ = false;
  bool userInteractionEnabled_ = true;
  std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
};

}  // namespace tavrino::ui
