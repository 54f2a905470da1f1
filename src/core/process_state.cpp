#include "core/shared_configuration.hpp"

namespace tavrino {

ProcessState& processState() {
  static ProcessState state;
  return state;
}

void recordStep(std::string step) {
  processState().appendStep(std::move(step));
}

void ProcessState::appendStep(std::string step, bool notify) {
  std::shared_ptr<StepCallback> callback;
  std::vector<std::string> snapshot;
  {
    std::lock_guard lock(mu_);
    if (steps_.size() >= kMaxSteps) steps_.pop_front();
    steps_.push_back(std::move(step));
    if (!notify || !stepCallback_) return;
    callback = stepCallback_;
    snapshot.assign(steps_.begin(), steps_.end());
  }
  // Called outside the lock: the callback may well call getSteps().
  (*callback)(snapshot);
}

std::vector<std::string> ProcessState::steps() {
  std::lock_guard lock(mu_);
  return {steps_.begin(), steps_.end()};
}

void ProcessState::setStepCallback(StepCallback callback) {
  std::lock_guard lock(mu_);
  stepCallback_ = callback ? std::make_shared<StepCallback>(std::move(callback)) : nullptr;
}

void ProcessState::setPushClickCallback(PushClickCallback callback) {
  std::lock_guard lock(mu_);
  pushClickCallback_ =
      callback ? std::make_shared<PushClickCallback>(std::move(callback)) : nullptr;
}

PushClickCallback ProcessState::pushClickCallback() {
  std::lock_guard lock(mu_);
  return pushClickCallback_ ? *pushClickCallback_ : PushClickCallback();
}

void ProcessState::reset() {
  std::lock_guard lock(mu_);
  config_ = SharedConfiguration();
  campaign_ = CampaignState();
  execcounter_.store(0, std::memory_order_release);
  steps_.clear();
  stepCallback_.reset();
  pushClickCallback_.reset();
}

}  // namespace tavrino
