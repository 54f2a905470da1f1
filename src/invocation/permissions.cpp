// The host's limits on what campaigns may call and load.

#include <algorithm>

#include "core/links/link_checks.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/util/invocation.hpp"

namespace tavrino::Util {

bool checkAllowedFunction(std::string_view classname, std::string_view functionname) {
  const auto allowed =
      processState().withConfig([](SharedConfiguration& c) { return c.allowedFunctions; });
  // Null is what a host passes for "no limits", like never setting one.
  if (!allowed || allowed->is_null()) return true;
  // Any other value that is not a map allows nothing.
  if (!allowed->is_object()) return false;
  if (allowed->contains("*")) return true;
  const auto it = allowed->find(std::string(classname));
  if (it == allowed->end() || !it->is_object() || it->empty()) return false;
  return it->contains("*") || it->contains(std::string(functionname));
}

bool isAllowedDomain(const std::vector<std::string>& domainlist, std::string_view domain) {
  const bool limited = processState().withConfig(
      [](SharedConfiguration& c) { return c.allowedDomains && !c.allowedDomains->empty(); });
  if (!limited) return true;
  // Hosts compare as the web compares them: "Shop.Example." is shop.example.
  const std::string wanted = links::comparableDomain(domain);
  return std::any_of(domainlist.begin(), domainlist.end(), [&](const std::string& entry) {
    return entry.empty() || links::comparableDomain(entry) == wanted;
  });
}

}  // namespace tavrino::Util
