#pragma once

// Calling host methods by name. A method can only be called when the host
// registered it with the runtime registry (tavrino/runtime/registry.hpp):
// a campaign cannot reach anything the host did not register. Once the host
// has called Tavrino::setAllowedFunction, the three invoke operations also
// call only what checkAllowedFunction allows for the class of the object the
// method would run on; a refused call logs one line and does nothing.
//
// Thread-safety: main thread only; the host's methods run synchronously.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// Returns the registered name of the class: executable name + "." + name
// when registered, else name when registered, else nothing.
TAVRINO_EXPORT std::optional<std::string> stringClassFromString(std::string_view name);

// Calls methodName with methodParameter on view, when className names a
// registered class and view responds to the method.
TAVRINO_EXPORT void invokeSomeMethod(std::string_view methodName, const Value& methodParameter,
                                     std::string_view className,
                                     const std::shared_ptr<ui::ViewController>& view);
// Calls methodName with a text on a new instance of className.
TAVRINO_EXPORT void invokeMethodFromName(std::string_view methodName,
                                         std::string_view methodParameter,
                                         std::string_view className);
// Calls methodName with a map on a new instance of className.
TAVRINO_EXPORT void invokeMethodFromNameWithDictionary(std::string_view methodName,
                                                       const Value& methodParameter,
                                                       std::string_view className);

// Whether the host's allowed functions let a campaign call the method.
TAVRINO_EXPORT bool checkAllowedFunction(std::string_view classname, std::string_view functionname);
// Whether domain may be loaded, given the campaign's domain list and the
// host's allowed domains. Domains compare in any case, a trailing dot aside.
TAVRINO_EXPORT bool isAllowedDomain(const std::vector<std::string>& domainlist,
                                    std::string_view domain);

}  // namespace tavrino::Util
