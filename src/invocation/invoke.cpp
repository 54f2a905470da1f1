// Calling host methods by name through the runtime registry.

#include <exception>
#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/invocation.hpp"

namespace tavrino::Util {
namespace {

std::string selectorFor(std::string_view methodName) {
  return std::string(methodName) + ":";
}

// The registered name of className, or nothing (logged).
std::optional<std::string> findClass(std::string_view className) {
  auto found = stringClassFromString(className);
  if (!found) QivUtil::addLog("classname not found in package : " + std::string(className));
  return found;
}

// Calls selector on a new instance of the registered class.
void performOnNewInstance(const std::string& registeredName, const std::string& selector,
                          const Value& argument) {
  auto& registry = runtime::Registry::shared();
  auto instance = registry.makeInstance(registeredName);
  if (!instance || !registry.perform(*instance, selector, argument)) {
    QivUtil::addLog("method not found arg : " + selector);
  }
}

// Campaign data names every call made here. Once the host set allowed
// functions they limit all of them; before, the registry alone is the gate.
bool refusedByHost(std::string_view className, std::string_view methodName) {
  const bool limited =
      processState().withConfig([](SharedConfiguration& c) { return c.allowedFunctionsFromHost; });
  if (!limited || checkAllowedFunction(className, methodName)) return false;
  QivUtil::addLog("function not allowed by the host : " + std::string(className) + "." +
                  std::string(methodName));
  return true;
}

// Host data reaches these calls: whatever fails stays here.
template <typename Fn>
void guarded(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("invocation failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("invocation failed");
  }
}

}  // namespace

std::optional<std::string> stringClassFromString(std::string_view name) {
  try {
    return runtime::Registry::shared().lookupClass(name);
  } catch (...) {
    return std::nullopt;
  }
}

void invokeSomeMethod(std::string_view methodName, const Value& methodParameter,
                      std::string_view className, const std::shared_ptr<ui::ViewController>& view) {
  guarded([&] {
    QivUtil::addLog("invokeSomeMethod called.");
    const std::string selector = selectorFor(methodName);
    // The class only has to exist; the method is looked up on view's own class.
    if (!findClass(className)) return;
    // The method runs on view, whatever class the campaign named.
    if (view && refusedByHost(view->className(), methodName)) return;
    if (!view || !runtime::Registry::shared().perform(*view, selector, methodParameter)) {
      QivUtil::addLog("method not found arg : " + selector);
    }
  });
}

void invokeMethodFromName(std::string_view methodName, std::string_view methodParameter,
                          std::string_view className) {
  guarded([&] {
    QivUtil::addLog("invokeMethodFromName called.");
    const std::string selector = selectorFor(methodName);
    const auto found = findClass(className);
    if (!found || refusedByHost(className, methodName)) return;
    performOnNewInstance(*found, selector, Value(std::string(methodParameter)));
  });
}

void invokeMethodFromNameWithDictionary(std::string_view methodName, const Value& methodParameter,
                                        std::string_view className) {
  guarded([&] {
    QivUtil::addLog("invokeMethodFromNameWithDictionarycalled with methodName" +
                    std::string(methodName) + "  classname : " + std::string(className));
    const std::string selector = selectorFor(methodName);
    QivUtil::addLog("invokeMethodFromNameWithDictionary : before if");
    if (const auto found = stringClassFromString(className)) {
      if (!refusedByHost(className, methodName))
        performOnNewInstance(*found, selector, methodParameter);
    } else {
      QivUtil::addLog("classname not found in package : " + std::string(className));
    }
    QivUtil::addLog("invokeMethodFromNameWithDictionary : finished ");
  });
}

}  // namespace tavrino::Util
