#include <string>

#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {

void QivUtil::addLog(std::string_view message) {
  // Borrowed: most lines are dropped here, at the cost of one read.
  auto test =
      platform::current().userDefaults().borrowSuite(Util::kDefaultsSuiteName).string("qivtest");
  if (!test || test->empty()) return;
  std::string line = "tavrino_log : ";
  line.append(message);
  platform::current().log().log(line);
}

std::string QivUtil::mapToString(const Value& parameters) {
  if (!parameters.is_object() || parameters.empty()) return "map_string is empty";
  std::string text;
  for (const auto& [key, value] : parameters.items()) {
    text += "\nkey : " + key;
    if (!value.is_null()) text += " , value : " + describe(value);
  }
  return text;
}

std::string QivUtil::mapToString(const StringMap& parameters) {
  if (parameters.empty()) return "map_string is empty";
  std::string text;
  for (const auto& [key, value] : parameters) text += "\nkey : " + key + " , value : " + value;
  return text;
}

}  // namespace tavrino
