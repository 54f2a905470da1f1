#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/url_session.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

// The campaign engine: receives each page view's answer and dispatches its
// campaigns. Each Tavrino owns one. Its class operations fetch answers.
class TAVRINO_EXPORT AsyncTask {
 public:
  using Completion = platform::DataTaskCompletion;

  AsyncTask() = default;

  // GET with the configured request time-out ("_req_to", default 6 s);
  // completion runs on the session thread, only when data arrived.
  static void getDataFromUrl(std::string_view url, Completion completion);
  // GET with a 1 s ("pushclick") or 2 s time-out; completion runs on the
  // session thread for every answer without error.
  static void getDataFromUrl_2(std::string_view type, std::string_view url, Completion completion);
};

}  // namespace tavrino
