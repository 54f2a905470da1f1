#pragma once

// The base of every object the SDK can call a host method on by name: host
// view controllers and the classes a host registers with the runtime
// registry (tavrino/runtime/registry.hpp).

#include <string>

#include "tavrino/export.hpp"

namespace tavrino::runtime {

class TAVRINO_EXPORT Object {
 public:
  virtual ~Object();

  // The unqualified class name, e.g. "CartScreen".
  virtual std::string className() const = 0;
};

}  // namespace tavrino::runtime
