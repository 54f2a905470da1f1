#include "tavrino/runtime/registry.hpp"

#include <exception>

#include "invocation/sdk_classes.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino::runtime {
namespace {

// Read outside the registry's lock: the platform has locks of its own.
std::optional<std::string> executableName() {
  return platform::current().systemInfo().bundleInfo("CFBundleExecutable");
}

}  // namespace

Registry& Registry::shared() {
  // Registered here rather than by static initialisers, whose order across
  // libraries is not defined: the SDK's classes exist before any lookup.
  static Registry* const registry = [] {
    auto* r = new Registry();  // never destroyed: host threads may outlive statics
    registerSdkClasses(*r);
    return r;
  }();
  return *registry;
}

void Registry::registerClass(std::string name, Factory factory) {
  std::lock_guard lock(mu_);
  classes_[std::move(name)].factory = std::move(factory);
}

void Registry::addMethod(std::string className, std::string method, Method entry) {
  std::lock_guard lock(mu_);
  classes_[std::move(className)].methods.insert_or_assign(
      std::move(method) + ":", std::make_shared<const Method>(std::move(entry)));
}

std::optional<std::string> Registry::lookupClassLocked(
    std::string_view name, const std::optional<std::string>& executable) const {
  if (executable && !executable->empty()) {
    std::string qualified = *executable + "." + std::string(name);
    if (classes_.contains(qualified)) return qualified;
  }
  if (classes_.contains(name)) return std::string(name);
  return std::nullopt;
}

std::optional<std::string> Registry::lookupClass(std::string_view name) {
  const auto executable = executableName();
  std::lock_guard lock(mu_);
  return lookupClassLocked(name, executable);
}

bool Registry::hasClass(std::string_view registeredName) {
  std::lock_guard lock(mu_);
  return classes_.contains(registeredName);
}

std::shared_ptr<Object> Registry::makeInstance(std::string_view registeredName) {
  Factory factory;
  {
    std::lock_guard lock(mu_);
    const auto it = classes_.find(registeredName);
    if (it == classes_.end() || !it->second.factory) return nullptr;
    factory = it->second.factory;
  }
  try {
    return factory();
  } catch (const std::exception& e) {
    QivUtil::addLog("host class could not be created : " + std::string(registeredName) + " : " +
                    e.what());
  } catch (...) {
    QivUtil::addLog("host class could not be created : " + std::string(registeredName));
  }
  return nullptr;
}

std::shared_ptr<const Registry::Method> Registry::findMethod(const Object& object,
                                                             std::string_view selector) {
  const auto executable = executableName();
  const std::string name = object.className();
  std::lock_guard lock(mu_);
  const auto found = lookupClassLocked(name, executable);
  if (!found) return nullptr;
  const auto& methods = classes_.find(*found)->second.methods;
  const auto it = methods.find(selector);
  if (it == methods.end() || !it->second->accepts(object)) return nullptr;
  return it->second;
}

bool Registry::respondsToSelector(const Object& object, std::string_view selector) {
  return findMethod(object, selector) != nullptr;
}

bool Registry::perform(Object& object, std::string_view selector, const Value& argument) {
  // Called without the lock held: the host's method may register more.
  const auto method = findMethod(object, selector);
  if (!method) return false;
  try {
    method->call(object, argument);
  } catch (const std::exception& e) {
    QivUtil::addLog("host method failed : " + std::string(selector) + " : " + e.what());
  } catch (...) {
    QivUtil::addLog("host method failed : " + std::string(selector));
  }
  return true;
}

void Registry::resetForTesting() {
  {
    std::lock_guard lock(mu_);
    classes_.clear();
  }
  registerSdkClasses(*this);
}

}  // namespace tavrino::runtime
