// Keys and values from hosts and deep links: whatever they hold, a query pair
// never carries a byte that could break the request line.

#include "fuzz_support.hpp"
#include "tavrino/url_encoding.hpp"
#include "tavrino/util/request.hpp"

using namespace tavrino;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  const std::string_view text = fuzz::text(data, size);
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  fuzz::requireWireSafe(
      Util::encodeForUrl(std::string(text.substr(0, split)), std::string(text.substr(split))));
  if (const auto encoded = urlEncoded(text, CharacterSet::urlDenied())) {
    fuzz::requireWireSafe(*encoded);
  }
  Util::sanitize(text);
  Util::mapToDevice(text);
  return 0;
}
