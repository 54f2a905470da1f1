// Service answers: every JSON helper and reader must take any bytes.
//
// Invariants: the object and array readers give their shape whatever the
// bytes, the byte and text readers agree, and an object the SDK read writes
// back to text that reads as the same object.

#include "fuzz_support.hpp"
#include "tavrino/qiv_util.hpp"

using namespace tavrino;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  const Data bytes(data, data + size);
  const std::string_view text = fuzz::text(data, size);

  const Value object = Util::parseJSONObject(bytes);
  require(object.is_object(), "object reader gave no object");
  require(Util::parseMutableJSONObjectFromString(text) == object, "JSON readers disagree");
  const std::string written = Util::parseMutableDictionaryToString(object);
  if (!object.empty() && Util::parseMutableJSONObjectFromString(written) != object) {
    fuzz::fail("JSON object changed through its text: " + written);
  }
  for (const auto& [key, value] : object.items()) {
    Util::tryCatch(object, key, "default");
    describe(value);
  }
  QivUtil::mapToString(object);

  const Value array = Util::parseJSONArray(bytes);
  require(array.is_array(), "array reader gave no array");
  for (const auto& element : array) Util::tryCatch(element, "NAME", "");
  Util::parseJSONArrayFromString(text);
  Util::parseJSONMutableArrayFromString(text);
  Util::parseJSONObjectFromString(text);
  return 0;
}
