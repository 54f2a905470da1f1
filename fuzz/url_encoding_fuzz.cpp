// Keys and values from hosts and deep links: whatever they hold, a query pair
// never carries a byte that could break the request line.

#include "fuzz_support.hpp"
#include "tavrino/url_encoding.hpp"
#include "tavrino/util/request.hpp"

using namespace tavrino;

namespace {

void requireWireSafe(std::string_view text) {
  for (const unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7f) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  const std::string_view text = fuzz::text(data, size);
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  requireWireSafe(
      Util::encodeForUrl(std::string(text.substr(0, split)), std::string(text.substr(split))));
  if (const auto encoded = urlEncoded(text, CharacterSet::urlDenied())) requireWireSafe(*encoded);
  Util::sanitize(text);
  Util::mapToDevice(text);
  return 0;
}
