// Cart item pairs, capped so that a URL stays below the server's limit.

#include <string>
#include <vector>

#include "core/request/percent_encoding.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino::Util {

std::string _getaitemtext() {
  std::vector<std::string> items;
  std::size_t limit = 0;
  processState().withConfig([&](SharedConfiguration& c) {
    items = c.pageItems;
    limit = c.itemTextLimit;
  });

  std::string pairs;
  std::size_t length = 0;  // characters of the unencoded texts sent so far
  for (const auto& item : items) {
    const std::size_t itemLength = request::characterCount(item);
    if (length + itemLength > limit) break;
    const auto encoded = urlEncoded(item, CharacterSet::urlDenied());
    if (!encoded) {
      QivUtil::addLog("item text skipped, it is not UTF-8");
      continue;
    }
    pairs += "&adetail[]=" + *encoded;
    length += itemLength;
  }
  return pairs;
}

}  // namespace tavrino::Util
