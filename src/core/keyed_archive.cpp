#include "core/keyed_archive.hpp"

namespace tavrino {

Data archiveDictionary(const Value& dictionary) {
  return Value::to_cbor(dictionary);
}

std::optional<Value> unarchiveDictionary(const Data& data) {
  Value value = Value::from_cbor(data, /*strict=*/true, /*allow_exceptions=*/false);
  if (!value.is_object()) return std::nullopt;  // also the discarded value of a parse error
  return value;
}

}  // namespace tavrino
