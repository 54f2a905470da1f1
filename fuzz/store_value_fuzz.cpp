// The stored form of values: any bytes a store file or an archive could hold.
//
// Invariants: decoding never throws or traps; whatever decodes encodes again,
// and decodes back to the same value (to the same bytes where the value
// holds a NaN, which equals nothing); an archive decodes to a map or to
// nothing, and a map archived again reads back unchanged.

#include <span>

#include "core/keyed_archive.hpp"
#include "core/value_cbor.hpp"
#include "fuzz_support.hpp"

using namespace tavrino;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  if (const std::optional<Value> value = decodeValue(std::span(data, size))) {
    require(nestsWithin(*value, kMaxValueNesting), "decoded past the nesting limit");
    const auto encoded = encodeValue(*value);
    require(encoded.has_value(), "decoded value does not encode");
    const auto again = decodeValue(*encoded);
    require(again.has_value(), "encoding does not decode");
    require(*value == *value ? *again == *value : encodeValue(*again) == encoded,
            "value changed through the store form");
  }
  if (const std::optional<Value> map = unarchiveDictionary(Data(data, data + size))) {
    require(map->is_object(), "archive gave something other than a map");
    const auto back = unarchiveDictionary(archiveDictionary(*map));
    require(back.has_value(), "re-archived map does not read");
    require(*map != *map || *back == *map, "map changed through the archive");
  }
  return 0;
}
