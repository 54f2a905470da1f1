#pragma once

// View animation. There is no render loop here: animate() applies the
// changes at once (observers see them as ordinary changes) and then calls
// the completion with true. What was animated is recorded so that a host
// that draws can replay it and tests can check it.
//
// Thread-safety: main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"

namespace tavrino::ui {

class View;

// Option bits, numbered as the platform numbers them.
using AnimationOptions = std::uint32_t;
inline constexpr AnimationOptions animationAllowUserInteraction = 1u << 1;
inline constexpr AnimationOptions animationBeginFromCurrentState = 1u << 2;
inline constexpr AnimationOptions animationCurveEaseInOut = 0u << 16;
inline constexpr AnimationOptions animationCurveEaseIn = 1u << 16;
inline constexpr AnimationOptions animationCurveEaseOut = 2u << 16;
inline constexpr AnimationOptions animationCurveLinear = 3u << 16;

// One view whose frame or alpha changed inside the animations block.
struct AnimatedView {
  std::weak_ptr<View> view;
  std::uint64_t identity = 0;
  Rect startFrame, endFrame;
  double startAlpha = 1, endAlpha = 1;
};

struct AnimationRecord {
  double duration = 0;  // seconds
  double delay = 0;     // seconds
  AnimationOptions options = 0;
  std::vector<AnimatedView> views;  // in the order first changed
};

// Runs animations, records the frames and alphas it changed, then calls
// completion(true). Whatever either callback throws is logged and dropped
// (the completion still runs after a failed block).
TAVRINO_EXPORT void animate(double duration, double delay, AnimationOptions options,
                            const std::function<void()>& animations,
                            const std::function<void(bool finished)>& completion = {});
TAVRINO_EXPORT void animate(double duration, const std::function<void()>& animations);

// The most recent animations (at most 64), oldest first.
TAVRINO_EXPORT std::vector<AnimationRecord> recordedAnimations();
TAVRINO_EXPORT void clearRecordedAnimations();

}  // namespace tavrino::ui
