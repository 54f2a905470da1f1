#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/url_session.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

// The campaign engine: receives each page view's answer and dispatches its
// campaigns. Each Tavrino owns one. Its class operations fetch answers.
//
// Work it queues (the fetch, the dispatch blocks, the shake timer) holds its
// state, not the object, so destroying the owner while an answer is in flight
// is safe: the late work finds the counter moved on or the state gone.
//
// Thread-safety: call it from the main thread.
class TAVRINO_EXPORT AsyncTask {
 public:
  using Completion = platform::DataTaskCompletion;
  using ViewControllerPtr = std::shared_ptr<ui::ViewController>;

  AsyncTask();
  ~AsyncTask();
  AsyncTask(const AsyncTask&) = delete;
  AsyncTask& operator=(const AsyncTask&) = delete;

  // GET with the configured request time-out ("_req_to", default 6 s);
  // completion runs on the session thread, only when data arrived.
  static void getDataFromUrl(std::string_view url, Completion completion);
  // GET with a 1 s ("pushclick") or 2 s time-out; completion runs on the
  // session thread for every answer without error.
  static void getDataFromUrl_2(std::string_view type, std::string_view url, Completion completion);

  // Entry from the page view: fetches the answer on a global queue unless a
  // newer page view started.
  void executeParameters(std::string_view url, const ViewControllerPtr& view,
                         const StringMap& client_map, std::int64_t execcounter);
  void doinBackground(std::string_view link, const ViewControllerPtr& view,
                      const StringMap& client_map, std::int64_t execcounter);
  // Dispatches one campaign of an answer (main thread).
  void calledEvent(const ViewControllerPtr& view, const Value& params, std::string_view link,
                   std::string_view eventName, std::string_view function_param,
                   const StringMap& client_map, std::int64_t execcounter);
  // Cookie instructions of an answer ("_sc" and "_sl" behave alike).
  static void _sc(const Value& params);
  static void _sl(const Value& params);
  // The show criteria of a "ui_sb" campaign; shows it when they hold.
  void checkEvent(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                  const Value& params, const ViewControllerPtr& view, std::string_view link,
                  const StringMap& client_map);

  // Shake threshold in g; the page view copies the client's into it.
  double shkThr() const;
  void setShkThr(double threshold);
  void setBannerInsets(std::int64_t s_btm, std::int64_t s_top);

  // The last dispatched campaign's fields (main thread).
  std::string eventName() const;
  std::string function_name() const;
  Value params() const;
  std::string link() const;

  // The engine's state, which queued work holds instead of the object; it
  // is gone once the AsyncTask is.
  struct State;
  std::weak_ptr<State> handle() const { return state_; }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace tavrino
