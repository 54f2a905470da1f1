// The show-once-per-page-view rule: "groupname" holds the group of the last
// campaign shown in the current answer.

#include <string>

#include "campaign/criteria/show_criteria.hpp"
#include "core/pageview/store_writes.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/criteria.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {

namespace criteria {

bool showOncePerPageview(const Value& params, const CheckLog& log) {
  const std::string shownGroup = Util::readDefault("groupname");
  const std::string soo = Util::tryCatch(params, "soo", "0");
  const std::string group = Util::tryCatch(params, "gn", "");
  if (soo == "1" && shownGroup == group) {
    log("show once per pageview. group name : " + group + ".return.");
    return false;
  }
  // Most answers' campaigns share one group: the same text is not written
  // again (the main thread's commit then carries nothing).
  pageview::setText(*Util::qivDefaults(), "groupname", group);
  return true;
}

}  // namespace criteria

bool Util::checkShowOncePerPageview(const Value& params) {
  return criteria::showOncePerPageview(params, criteria::CheckLog());
}

}  // namespace tavrino
