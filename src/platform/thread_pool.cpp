#include "platform/thread_pool.hpp"

#include <cstdio>
#include <exception>

namespace tavrino::platform {

ThreadPool::ThreadPool(std::size_t threads) {
  for (std::size_t i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

ThreadPool::~ThreadPool() {
  shutdown();
}

void ThreadPool::post(QualityOfService qos, Task task) {
  {
    std::lock_guard lock(mu_);
    if (stopping_) return;
    queues_[static_cast<std::size_t>(qos)].push_back(std::move(task));
  }
  ready_.notify_one();
}

void ThreadPool::shutdown() {
  {
    std::lock_guard lock(mu_);
    if (stopping_ && workers_.empty()) return;
    stopping_ = true;
  }
  ready_.notify_all();
  for (auto& worker : workers_) {
    if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) worker.join();
  }
  workers_.clear();
}

void ThreadPool::work() {
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mu_);
      auto nonEmpty = [this]() -> std::deque<Task>* {
        for (auto& q : queues_) {
          if (!q.empty()) return &q;
        }
        return nullptr;
      };
      ready_.wait(lock, [&] { return stopping_ || nonEmpty() != nullptr; });
      std::deque<Task>* queue = nonEmpty();
      if (!queue) return;  // stopping and drained
      task = std::move(queue->front());
      queue->pop_front();
    }
    // A throwing task must not take the host process down with it.
    try {
      task();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tavrino: background task failed: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "tavrino: background task failed\n");
    }
  }
}

}  // namespace tavrino::platform
