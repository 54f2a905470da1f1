// Out-of-line pieces of the platform interfaces that every platform shares.

#include <atomic>
#include <string>
#include <utility>

#include "tavrino/platform/platform.hpp"

namespace tavrino::platform {

Log::~Log() = default;
Dispatch::~Dispatch() = default;
Platform::~Platform() = default;

WorkItem::WorkItem(Task task) : task_(std::move(task)) {}

void WorkItem::perform() {
  Task task;
  {
    std::lock_guard lock(mu_);
    if (isCancelled() || !task_) return;
    task = std::move(task_);
    task_ = nullptr;
  }
  task();
}

void WorkItem::cancel() {
  cancelled_.store(true, std::memory_order_release);
  std::lock_guard lock(mu_);
  task_ = nullptr;  // releases what the task captured
}

void Dispatch::mainAsync(const std::shared_ptr<WorkItem>& item) {
  mainAsync([item] { item->perform(); });
}

void Dispatch::mainAsyncAfter(Clock::Duration delay, const std::shared_ptr<WorkItem>& item) {
  mainAsyncAfter(delay, [item] { item->perform(); });
}

namespace {
std::atomic<bool> labelsOn{false};
thread_local std::string taskLabel;
}  // namespace

void setMainTaskLabels(bool on) {
  labelsOn.store(on, std::memory_order_relaxed);
}

void labelMainTask(std::string_view what, std::string_view campaign) {
  if (!labelsOn.load(std::memory_order_relaxed)) return;
  if (!taskLabel.empty()) taskLabel += ", ";
  taskLabel.append(what).append(" ").append(campaign);
}

std::string takeMainTaskLabel() {
  return std::exchange(taskLabel, {});
}

}  // namespace tavrino::platform
