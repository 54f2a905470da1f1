#pragma once

// The runtime registry: the only way the SDK reaches host code by name. The
// host registers classes (a name and a factory) and one-argument methods on
// them; campaigns then name a class and a method, and the SDK looks the class
// up, asks whether an object responds to the method and performs it. Nothing
// the host did not register can ever be called.
//
// Class names are free text; a host usually registers its classes under
// their unqualified names or qualified with its executable name
// ("App.Cart"). lookupClass() tries the qualified form first.
//
// Selectors are method names followed by ":" ("addToCart:"): every method
// takes exactly one argument, a map or a text (a text arrives as a JSON
// string value), and its result is ignored.
//
// Thread-safety: registration and lookup may happen on any thread; perform()
// runs the host's method synchronously on the calling thread, which the SDK
// keeps to the main thread.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "tavrino/export.hpp"
#include "tavrino/runtime/object.hpp"
#include "tavrino/value.hpp"

namespace tavrino::runtime {

class TAVRINO_EXPORT Registry {
 public:
  // Creates a fresh instance of a class with its plain initialiser.
  using Factory = std::function<std::shared_ptr<Object>()>;

  // The process-wide registry. The SDK's own classes ("iOS_qiv.QivUtil")
  // are registered before its first use.
  static Registry& shared();

  // Registers (or replaces) a class. A class known only through its methods
  // (say, a host view controller) is found by lookup but has no factory.
  void registerClass(std::string name, Factory factory);

  // Registers (or replaces) method on className, creating the class entry
  // if needed. method is called with the object as T and the argument;
  // objects that are not a T do not respond to it. Any result is ignored.
  template <typename T, typename Fn>
  requires std::is_base_of_v<Object, T> &&
      (!std::is_member_function_pointer_v<Fn>)&&std::is_invocable_v<
          Fn&, T&, const Value&> void registerMethod(std::string className, std::string method,
                                                     Fn fn) {
    Method entry;
    entry.accepts = [](const Object& object) { return dynamic_cast<const T*>(&object) != nullptr; };
    entry.call = [fn = std::move(fn)](Object& object, const Value& argument) mutable {
      std::invoke(fn, dynamic_cast<T&>(object), argument);
    };
    addMethod(std::move(className), std::move(method), std::move(entry));
  }

  // Shorthand for a member function: registerMethod("App.Cart", "add", &Cart::add).
  template <typename T, typename R>
  requires std::is_base_of_v<Object, T>
  void registerMethod(std::string className, std::string method, R (T::*member)(const Value&)) {
    registerMethod<T>(std::move(className), std::move(method),
                      [member](T& object, const Value& argument) { (object.*member)(argument); });
  }

  // Returns the registered name of the class called name: executable name
  // (the bundle's "CFBundleExecutable") + "." + name when registered, else
  // name when registered, else nothing.
  std::optional<std::string> lookupClass(std::string_view name);
  // Returns true iff a class is registered under exactly this name.
  bool hasClass(std::string_view registeredName);

  // A new instance of the registered class, or null when it has no factory,
  // the factory returns null or throws.
  std::shared_ptr<Object> makeInstance(std::string_view registeredName);

  // Returns true iff object's class (its className() looked up as above)
  // has a method registered for selector ("name:") that accepts the object.
  bool respondsToSelector(const Object& object, std::string_view selector);

  // Calls the method registered for selector on object with argument.
  // Returns false (and calls nothing) when object does not respond. A method
  // that throws is logged and counts as performed: nothing escapes.
  bool perform(Object& object, std::string_view selector, const Value& argument);

  // Forgets everything the host registered; the SDK's own classes stay.
  void resetForTesting();

 private:
  struct Method {
    std::function<bool(const Object&)> accepts;  // whether the object is of the method's type
    std::function<void(Object&, const Value&)> call;
  };

  struct ClassEntry {
    Factory factory;
    std::map<std::string, std::shared_ptr<const Method>, std::less<>> methods;  // by selector
  };

  Registry() = default;
  void addMethod(std::string className, std::string method, Method entry);
  std::optional<std::string> lookupClassLocked(std::string_view name,
                                               const std::optional<std::string>& executable) const;
  std::shared_ptr<const Method> findMethod(const Object& object, std::string_view selector);

  std::mutex mu_;
  std::map<std::string, ClassEntry, std::less<>> classes_;
};

}  // namespace tavrino::runtime
