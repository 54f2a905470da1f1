#include "core/keyed_archive.hpp"

#include "core/value_cbor.hpp"

namespace tavrino {

Data archiveDictionary(const Value& dictionary) {
  return encodeValue(dictionary).value_or(Data());
}

std::optional<Value> unarchiveDictionary(const Data& data) {
  // Archives come from storage another process shares: a hostile or broken
  // one must not exhaust the stack or throw.
  auto value = decodeValue(data);
  if (!value || !value->is_object()) return std::nullopt;
  return value;
}

}  // namespace tavrino
