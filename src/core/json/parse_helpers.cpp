// JSON parse helpers with their fixed fallbacks. Failures print to the
// console (not the SDK log), as the host's developers expect to see them.

#include <stdexcept>
#include <string>

#include "core/json/json_limits.hpp"
#include "core/value_cbor.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::json {

bool admits(std::string_view text) {
  if (text.size() > kMaxTextBytes) {
    QivUtil::addLog("JSON refused: " + std::to_string(text.size()) + " bytes, more than " +
                    std::to_string(kMaxTextBytes));
    return false;
  }
  if (!jsonTextNestsWithin(text, kMaxValueNesting)) {
    QivUtil::addLog("JSON refused: nested more than " + std::to_string(kMaxValueNesting) + " deep");
    return false;
  }
  return true;
}

}  // namespace tavrino::json

namespace tavrino::Util {
namespace {

void print(const std::string& line) {
  platform::current().log().console(line);
}

// Parses text; nothing (and the error printed as given) when it is no JSON.
std::optional<Value> parse(std::string_view text, const char* errorPrefix) {
  if (!json::admits(text)) {
    print(std::string(errorPrefix) + "JSON refused");
    return std::nullopt;
  }
  try {
    return Value::parse(text);
  } catch (const Value::exception& e) {
    print(std::string(errorPrefix) + e.what());
    return std::nullopt;
  }
}

bool isMapOfTexts(const Value& value) {
  if (!value.is_object()) return false;
  for (const auto& [key, member] : value.items()) {
    if (!member.is_string()) return false;
  }
  return true;
}

StringMap toStringMap(const Value& value) {
  StringMap map;
  for (const auto& [key, member] : value.items()) map[key] = member.get<std::string>();
  return map;
}

bool isListOf(const Value& value, bool (*element)(const Value&)) {
  if (!value.is_array()) return false;
  for (const auto& item : value) {
    if (!element(item)) return false;
  }
  return true;
}

Value arrayOfMaps(std::string_view json_string) {
  auto value = parse(json_string, "");
  if (!value) return Value::array();
  if (!isListOf(*value, [](const Value& v) { return v.is_object(); })) {
    print("bad json");
    return Value::array();
  }
  return *value;
}

}  // namespace

Value parseJSONObject(const Data& data) {
  const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  if (!json::admits(text)) return Value::object();
  Value value = Value::parse(text, nullptr, /*allow_exceptions=*/false);
  return value.is_object() ? value : Value::object();
}

StringMap parseJSONObjectFromString(std::string_view json_string) {
  auto value = parse(json_string, "");
  if (!value) return {};
  if (!isMapOfTexts(*value)) {
    print("bad json");
    return {};
  }
  return toStringMap(*value);
}

Value parseMutableJSONObjectFromString(std::string_view json_string) {
  auto value = parse(json_string, "");
  if (!value) return Value::object();
  if (!value->is_object()) {
    print("bad json");
    return Value::object();
  }
  return *value;
}

Value parseJSONArray(const Data& data) {
  return parseJSONArray(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

Value parseJSONArray(std::string_view json_array_string) {
  auto value = parse(json_array_string, "Error handled = ");
  return value && value->is_array() ? *value : Value::array();
}

std::vector<StringMap> parseJSONArrayFromString(std::string_view json_string) {
  auto value = parse(json_string, "");
  if (!value) return {};
  if (!isListOf(*value, isMapOfTexts)) {
    print("bad json");
    return {};
  }
  std::vector<StringMap> list;
  for (const auto& item : *value) list.push_back(toStringMap(item));
  return list;
}

Value parseJSONMutableArrayFromString(std::string_view json_string) {
  return arrayOfMaps(json_string);
}

Value parseJSONMutableArrayFromString2(std::string_view json_string) {
  return arrayOfMaps(json_string);
}

std::string parseMutableDictionaryToString(const Value& dict) {
  try {
    if (!nestsWithin(dict, kMaxValueNesting)) throw std::length_error("too deep");
    return dict.dump();
  } catch (const std::exception&) {
    print("JSON Failure");  // text that is not UTF-8 cannot be written
    return {};
  }
}

}  // namespace tavrino::Util
