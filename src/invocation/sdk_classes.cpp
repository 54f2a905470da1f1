#include "invocation/sdk_classes.hpp"

#include <memory>

#include "tavrino/qiv_util.hpp"

namespace tavrino::runtime {

void registerSdkClasses(Registry& registry) {
  const std::string name = QivUtil::kRegisteredName;
  registry.registerClass(name, [] { return std::make_shared<QivUtil>(); });
  registry.registerMethod<QivUtil>(name, "sc", &QivUtil::sc);
  registry.registerMethod<QivUtil>(name, "gc", &QivUtil::gc);
  registry.registerMethod<QivUtil>(name, "ic", &QivUtil::ic);
  registry.registerMethod<QivUtil>(name, "sv", &QivUtil::sv);
  registry.registerMethod<QivUtil>(name, "gv", &QivUtil::gv);
  registry.registerMethod<QivUtil>(name, "avf", &QivUtil::avf);
}

}  // namespace tavrino::runtime
