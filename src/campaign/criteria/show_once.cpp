// The show-once-per-page-view rule: "groupname" holds the group of the last
// campaign shown in the current answer.

#include <string>

#include "core/store_writes.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/criteria.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {

bool checkShowOncePerPageview(const Value& params) {
  const std::string shownGroup = readDefault("groupname");
  const std::string soo = tryCatch(params, "soo", "0");
  const std::string group = tryCatch(params, "gn", "");
  if (soo == "1" && shownGroup == group) {
    QivUtil::addLog("show once per pageview. group name : " + group + ".return.");
    return false;
  }
  // Most answers' campaigns share one group: the same text is not written
  // again (the main thread's commit then carries nothing).
  pageview::setText(*qivDefaults(), "groupname", group);
  return true;
}

}  // namespace tavrino::Util
