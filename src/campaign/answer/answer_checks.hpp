#pragma once

// AnswerChecks: the show criteria of an answer's page-view banners, checked
// in answer order inside one transaction of the SDK store (one commit per
// answer instead of one per campaign). The first of the answer's banners
// dispatched on the main thread checks itself and every later one; each
// campaign's log lines are held and emitted when its own dispatch runs, so
// the log reads as if each had been checked at its turn. A batch that does
// not commit leaves its campaigns to be checked one by one, as checkEvent
// does.
//
// What a campaign sees is what it saw when checked at its turn: the counts
// and group the earlier campaigns of the answer wrote, and the page view as
// current as when its dispatch began (no host code runs during the batch).
//
// Thread-safety: filled on the answer's thread before its campaigns are
// dispatched; afterwards used on the main thread only.

#include <cstddef>
#include <string>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino::engine {

class AnswerChecks {
 public:
  // Adds a banner campaign with its page's client map (its "_execcounter"
  // set); returns its slot.
  std::size_t add(const Value& params, const StringMap& client_map);

  // Main thread: emits the log lines of the campaign in slot and returns
  // true iff it is to be shown, its count written. Checks the campaigns from
  // slot on that are not checked yet, in order, in one transaction.
  bool passes(std::size_t slot);

 private:
  struct Campaign {
    Value params;
    StringMap client_map;
    bool checked = false;
    bool show = false;
    std::vector<std::string> lines;
  };
  void checkFrom(std::size_t slot);
  bool checkAlone(Campaign& campaign);

  std::vector<Campaign> campaigns_;
  bool batchFailed_ = false;
};

}  // namespace tavrino::engine
