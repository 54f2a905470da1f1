#include "push/payload_fields.hpp"

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino::push {

const Value* member(const Value& map, std::string_view key) {
  if (!map.is_object()) return nullptr;
  const auto it = map.find(key);
  return it == map.end() ? nullptr : &*it;
}

bool hasMember(const Value& map, std::string_view key) {
  return member(map, key) != nullptr;
}

void logSkippedEntry(std::string_view key) {
  QivUtil::addLog("push payload entry skipped, unexpected kind : " + std::string(key));
}

std::optional<std::string> textEntry(const Value& map, std::string_view key) {
  const Value* value = member(map, key);
  if (value == nullptr || value->is_null()) return std::nullopt;
  if (value->is_string()) return value->get<std::string>();
  if (value->is_number()) return describe(*value);
  logSkippedEntry(key);
  return std::nullopt;
}

std::optional<std::string> strictTextEntry(const Value& map, std::string_view key) {
  const Value* value = member(map, key);
  if (value == nullptr || value->is_null()) return std::nullopt;
  if (value->is_string()) return value->get<std::string>();
  logSkippedEntry(key);
  return std::nullopt;
}

std::optional<std::string> campaignId(const Value& payload) {
  return textEntry(payload, "zbid");
}

const Value* mapEntry(const Value& map, std::string_view key) {
  const Value* value = member(map, key);
  if (value == nullptr) return nullptr;
  if (value->is_object()) return value;
  logSkippedEntry(key);
  return nullptr;
}

const Value* listEntry(const Value& map, std::string_view key) {
  const Value* value = member(map, key);
  if (value == nullptr) return nullptr;
  if (value->is_array()) return value;
  logSkippedEntry(key);
  return nullptr;
}

}  // namespace tavrino::push

namespace tavrino::Util {

std::string findValueRecursive(const Value& infomap, std::string_view val) {
  // Walks the path iteratively: a long path of keys costs no stack.
  const Value* map = &infomap;
  while (true) {
    const auto bar = val.find('|');
    if (bar == std::string_view::npos) {
      const Value* value = push::member(*map, val);
      if (value == nullptr || !(value->is_string() || value->is_number())) return "";
      return value->is_string() ? value->get<std::string>() : describe(*value);
    }
    const Value* next = push::member(*map, val.substr(0, bar));
    if (next == nullptr || !next->is_object()) return "";
    map = next;
    val.remove_prefix(bar + 1);
  }
}

}  // namespace tavrino::Util
