#pragma once

// The global queues: a small pool of worker threads. Higher qualities of
// service are served first; FIFO within one.

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "tavrino/platform/dispatch.hpp"

namespace tavrino::platform {

class ThreadPool {
 public:
  explicit ThreadPool(std::size_t threads);
  // Finishes the queued work, then joins the workers.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  void post(QualityOfService qos, Task task);
  // Finishes the queued work and joins the workers; later posts are dropped.
  void shutdown();

 private:
  void work();

  std::mutex mu_;
  std::condition_variable ready_;
  std::array<std::deque<Task>, 5> queues_;  // indexed by QualityOfService
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tavrino::platform
