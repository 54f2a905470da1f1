#pragma once

// The parts of a banner campaign's show criteria, for the single check
// (checkEvent) and for the check of a whole answer's banners in one store
// transaction (engine::AnswerChecks).
//
// Thread-safety: main thread only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino::criteria {

// Where a check's log lines go: straight to the log, or held in a list until
// the campaign they belong to is dispatched.
class CheckLog {
 public:
  CheckLog() = default;
  explicit CheckLog(std::vector<std::string>& held) : held_(&held) {}
  void operator()(std::string line) const;

 private:
  std::vector<std::string>* held_ = nullptr;
};

// True (with a log line) when the client map carries the counter of a page
// view that is no longer the current one.
bool isStalePageView(const StringMap& client_map, const CheckLog& log);

// The show limit "shCnt" asks for.
std::int64_t showLimit(std::string_view shCnt);

// The criteria the store decides: hold-back markers, the count of the
// counting mode, the show-once rule. Writes the count (and the group) when
// the campaign passes. REQUIRES: inside a transaction of the SDK store, so
// no other process slips a show in between the read and the write.
bool passesStoredCriteria(std::string_view uvp, std::string_view zbid, std::int64_t limit,
                          const Value& params, const CheckLog& log);

// checkEvent without the presentation: logs, checks the page view and, in
// a transaction of its own, the stored criteria. True iff it is to be shown.
bool decideShow(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                const Value& params, const StringMap& client_map);

// The show-once rule (Util::checkShowOncePerPageview) with its log line sent
// to log.
bool showOncePerPageview(const Value& params, const CheckLog& log);

}  // namespace tavrino::criteria
