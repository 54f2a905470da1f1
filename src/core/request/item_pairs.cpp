// Cart item pairs, capped so that a URL stays below the server's limit.

#include <string>
#include <vector>

#include "core/request/percent_encoding.hpp"
#include "core/request/request_parts.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino {

void request::appendItemPairs(std::string& out) {
  static const RawBytes table(CharacterSet::urlDenied());
  std::vector<std::string> items;
  std::size_t limit = 0;
  processState().withConfig([&](SharedConfiguration& c) {
    if (!c.pageItems.empty()) items = c.pageItems;
    limit = c.itemTextLimit;
  });

  std::size_t length = 0;  // characters of the unencoded texts sent so far
  for (const auto& item : items) {
    const std::size_t itemLength = characterCount(item);
    if (length + itemLength > limit) break;
    const std::size_t before = out.size();
    out += "&adetail[]=";
    if (!appendEncoded(out, item, table)) {
      out.resize(before);
      QivUtil::addLog("item text skipped, it is not UTF-8");
      continue;
    }
    length += itemLength;
  }
}

std::string Util::_getaitemtext() {
  std::string pairs;
  request::appendItemPairs(pairs);
  return pairs;
}

}  // namespace tavrino
