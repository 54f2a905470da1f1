// Service answers: every JSON helper and reader must take any bytes.
//
// Invariants: the object and array readers give their shape whatever the
// bytes, the byte and text readers agree, and an object the SDK read writes
// back to text that reads as the same object.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

using namespace tavrino;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  const Data bytes(data, data + size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const Value object = Util::parseJSONObject(bytes);
  if (!object.is_object()) std::abort();
  if (Util::parseMutableJSONObjectFromString(text) != object) {
    std::fprintf(stderr, "JSON readers disagree\n");
    std::abort();
  }
  if (!object.empty()) {
    const std::string written = Util::parseMutableDictionaryToString(object);
    if (Util::parseMutableJSONObjectFromString(written) != object) {
      std::fprintf(stderr, "JSON object changed through its text: %s\n", written.c_str());
      std::abort();
    }
  }
  for (const auto& [key, value] : object.items()) {
    Util::tryCatch(object, key, "default");
    describe(value);
  }
  QivUtil::mapToString(object);
  Util::parseMutableDictionaryToString(object);

  const Value array = Util::parseJSONArray(bytes);
  if (!array.is_array()) std::abort();
  for (const auto& element : array) Util::tryCatch(element, "NAME", "");
  Util::parseJSONArrayFromString(text);
  Util::parseJSONMutableArrayFromString(text);
  Util::parseJSONObjectFromString(text);
  Util::parseMutableJSONObjectFromString(text);
  return 0;
}
