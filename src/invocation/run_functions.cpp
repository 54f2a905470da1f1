// A campaign's "run" list turned into host calls.

#include <exception>
#include <string>

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"

namespace tavrino {
namespace {

const Value* member(const Value& map, const char* key) {
  if (!map.is_object()) return nullptr;
  const auto it = map.find(key);
  return it == map.end() ? nullptr : &*it;
}

const std::string* textMember(const Value& map, const char* key) {
  const Value* value = member(map, key);
  return value && value->is_string() ? value->get_ptr<const std::string*>() : nullptr;
}

// Runs one entry; arguments carries the "param" members of earlier entries.
void runEntry(const Value& entry, std::string_view types, Value& arguments,
              const std::shared_ptr<ui::ViewController>& view) {
  if (!entry.is_object()) {
    QivUtil::addLog("run functions. entry is not a map");
    return;
  }
  const std::string* type = textMember(entry, "type");
  if (type && *type != types) {
    QivUtil::addLog("run functions. did not matches types");
    return;
  }
  const std::string* name = textMember(entry, "name");
  const std::string* cls = textMember(entry, "class");
  if (!type || !name || !cls) {
    QivUtil::addLog("run functions. entry without text type, name or class");
    return;
  }
  const Value* param = member(entry, "param");
  if (param && !param->is_null() && !param->is_object()) {
    QivUtil::addLog("run functions. param is not a map");
    return;
  }
  const std::string className = *cls == "qiv" ? QivUtil::kRegisteredName : *cls;
  if (param && param->is_object()) {
    for (const auto& [key, value] : param->items()) arguments[key] = value;
  }
  const std::string viewClass = view ? view->className() : std::string();
  const bool onView = className.empty() || className == viewClass;
  QivUtil::addLog("run functions called. invoke method with --> classname : " +
                  (onView ? viewClass : className) + " methodname : " + *name +
                  " params : " + describe(arguments));
  if (onView) {
    Util::invokeSomeMethod(*name, arguments, viewClass, view);
  } else {
    Util::invokeMethodFromNameWithDictionary(*name, arguments, className);
  }
}

}  // namespace

void QivUtil::run_functions(std::string_view types, const Value& parent,
                            const std::shared_ptr<ui::ViewController>& view) {
  try {
    const Value* run = member(parent, "run");
    if (!run || !run->is_object()) return;
    addLog("run functions called.");
    const Value* functions = member(*run, "functions");
    if (!functions) return;
    if (!functions->is_array()) {
      addLog("run functions. functions is not a list");
      return;
    }
    Value arguments = parent;
    for (const auto& entry : *functions) runEntry(entry, types, arguments, view);
  } catch (const std::exception& e) {
    addLog(std::string("run functions failed : ") + e.what());
  } catch (...) {
    addLog("run functions failed");
  }
}

}  // namespace tavrino
