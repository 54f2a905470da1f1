#include "tavrino/ui/animation.hpp"

#include <algorithm>
#include <deque>

#include "tavrino/ui/view.hpp"
#include "ui/action_call.hpp"
#include "ui/animation_recorder.hpp"

namespace tavrino::ui {
namespace {

constexpr std::size_t kKeptRecords = 64;

// Animations whose block is running (nested calls stack), and the finished
// ones. Main thread only, like the views they describe.
std::vector<AnimationRecord>& inProgress() {
  static std::vector<AnimationRecord> stack;
  return stack;
}

std::deque<AnimationRecord>& finished() {
  static std::deque<AnimationRecord> records;
  return records;
}

}  // namespace

namespace detail {

void willAnimate(const View& view) {
  auto& stack = inProgress();
  if (stack.empty()) return;
  auto& views = stack.back().views;
  const auto id = view.identity();
  if (std::any_of(views.begin(), views.end(), [&](const auto& v) { return v.identity == id; })) {
    return;
  }
  AnimatedView entry;
  entry.view = std::const_pointer_cast<View>(view.weak_from_this().lock());
  entry.identity = id;
  entry.startFrame = entry.endFrame = view.frame();
  entry.startAlpha = entry.endAlpha = view.alpha();
  views.push_back(std::move(entry));
}

}  // namespace detail

void animate(double duration, double delay, AnimationOptions options,
             const std::function<void()>& animations,
             const std::function<void(bool finished)>& completion) {
  AnimationRecord record;
  record.duration = duration;
  record.delay = delay;
  record.options = options;
  inProgress().push_back(std::move(record));
  if (animations) detail::callGuarded("animation", animations);
  record = std::move(inProgress().back());
  inProgress().pop_back();
  for (auto& v : record.views) {
    if (auto view = v.view.lock()) {
      v.endFrame = view->frame();
      v.endAlpha = view->alpha();
    }
  }
  auto& records = finished();
  records.push_back(std::move(record));
  while (records.size() > kKeptRecords) records.pop_front();
  if (completion) detail::callGuarded("animation completion", [&] { completion(true); });
}

void animate(double duration, const std::function<void()>& animations) {
  animate(duration, 0, 0, animations, {});
}

std::vector<AnimationRecord> recordedAnimations() {
  const auto& records = finished();
  return {records.begin(), records.end()};
}

void clearRecordedAnimations() {
  finished().clear();
}

}  // namespace tavrino::ui
