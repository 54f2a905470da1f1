#pragma once

// A spinner shown while something loads.
//
// Thread-safety: main thread only.

#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/ui/view.hpp"

namespace tavrino::ui {

enum class ActivityIndicatorStyle { whiteLarge, white, gray, medium, large };

class TAVRINO_EXPORT ActivityIndicator : public View {
 public:
  // Stopped; hidden, since it hides when stopped.
  explicit ActivityIndicator(ActivityIndicatorStyle style = ActivityIndicatorStyle::white,
                             Rect frame = {});
  static std::shared_ptr<ActivityIndicator> make(
      ActivityIndicatorStyle style = ActivityIndicatorStyle::white, Rect frame = {});

  std::string_view kind() const override;

  ActivityIndicatorStyle style() const { return style_; }
  void setStyle(ActivityIndicatorStyle style);
  // true at first. Turning it on while stopped hides the view.
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);

  // Shows the view and spins.
  void startAnimating();
  // Stops; hides the view when it hides when stopped.
  void stopAnimating();
  bool isAnimating() const { return animating_; }

 private:
  ActivityIndicatorStyle style_;
  bool hidesWhenStopped_ = true;
  bool animating_ = false;
};

}  // namespace tavrino::ui
