#include <string>

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {

void QivUtil::avf(const Value& params) {
  addLog("avf called.");
  const std::string url = params.is_object() && params.contains("avf_url")
                              ? describe(params["avf_url"])
                              : std::string();
  addLog("avf_url : " + url);
  Util::getRequest("avf", url);
}

}  // namespace tavrino
