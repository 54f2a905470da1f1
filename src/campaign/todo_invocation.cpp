// Placeholders for host invocation; replaced by the real module.

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"

namespace tavrino {

void QivUtil::run_functions(std::string_view, const Value&,
                            const std::shared_ptr<ui::ViewController>&) {}

namespace Util {
std::optional<std::string> stringClassFromString(std::string_view) { return std::nullopt; }
void invokeSomeMethod(std::string_view, const Value&, std::string_view,
                      const std::shared_ptr<ui::ViewController>&) {}
void invokeMethodFromName(std::string_view, std::string_view, std::string_view) {}
void invokeMethodFromNameWithDictionary(std::string_view, const Value&, std::string_view) {}
bool checkAllowedFunction(std::string_view, std::string_view) { return true; }
bool isAllowedDomain(const std::vector<std::string>&, std::string_view) { return true; }
}  // namespace Util

}  // namespace tavrino
