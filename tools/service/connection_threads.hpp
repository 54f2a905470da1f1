#pragma once

// A task queue for the HTTP library that gives every accepted connection a
// thread of its own. The library keeps a connection on its worker for as long
// as the client holds it open, so a fixed pool lets idle keep-alive
// connections starve new ones; a client library with many transfers in flight
// would then wait seconds for a worker.
//
// Thread-safety: enqueue() may be called from any thread; shutdown() once,
// after the last enqueue().

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrino::service {

class ConnectionThreads final : public httplib::TaskQueue {
 public:
  ~ConnectionThreads() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(mu_);
    reapLocked();
    workers_.push_back({std::thread([fn = std::move(fn), done] {
                          fn();
                          done->store(true);
                        }),
                        done});
  }

  void shutdown() override {
    std::vector<Worker> workers;
    {
      std::lock_guard lock(mu_);
      workers.swap(workers_);
    }
    for (auto& worker : workers) worker.thread.join();
  }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  // Joins the threads whose connection has ended (they have returned).
  void reapLocked() {
    std::erase_if(workers_, [](Worker& worker) {
      if (!worker.done->load()) return false;
      worker.thread.join();
      return true;
    });
  }

  std::mutex mu_;
  std::vector<Worker> workers_;
};

}  // namespace tavrino::service
