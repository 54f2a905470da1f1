// Service answers: every JSON helper and reader must take any bytes.

#include <cstdint>

#include "fuzz_platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

using namespace tavrino;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  const Data bytes(data, data + size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const Value object = Util::parseJSONObject(bytes);
  for (const auto& [key, value] : object.items()) {
    Util::tryCatch(object, key, "default");
    describe(value);
  }
  QivUtil::mapToString(object);
  Util::parseMutableDictionaryToString(object);

  for (const auto& element : Util::parseJSONArray(bytes)) Util::tryCatch(element, "NAME", "");
  Util::parseJSONArrayFromString(text);
  Util::parseJSONMutableArrayFromString(text);
  Util::parseJSONObjectFromString(text);
  Util::parseMutableJSONObjectFromString(text);
  return 0;
}
