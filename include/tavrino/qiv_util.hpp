#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/runtime/object.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

// The SDK's log and the cookie functions that banner scripts call by name.
// Campaigns reach the functions through the runtime registry, where the
// class is registered as "iOS_qiv.QivUtil" (class "qiv" in run functions).
class TAVRINO_EXPORT QivUtil : public runtime::Object {
 public:
  static constexpr const char* kRegisteredName = "iOS_qiv.QivUtil";

  // Module-qualified: the class does not belong to the host's executable.
  std::string className() const override { return kRegisteredName; }

  // Writes "tavrino_log : " + message to the platform log, only while the
  // store's "qivtest" is present and not empty.
  static void addLog(std::string_view message);

  // Renders a map for log lines: "map_string is empty", or for each entry
  // "\nkey : " + key + " , value : " + value (the value part left out for null).
  static std::string mapToString(const Value& parameters);
  static std::string mapToString(const StringMap& parameters);

  // Runs the campaign's "run" functions of the given trigger type ("A", "C",
  // "I", ...) on the host: view's own methods, or new instances of the named
  // registered classes.
  static void run_functions(std::string_view types, const Value& parent,
                            const std::shared_ptr<ui::ViewController>& view);

  // Banner-script functions; each takes the function's parameter map.
  void sc(const Value& params);
  std::string gc(const Value& params);
  void ic(const Value& params);
  void sv(const Value& params);
  void gv(const Value& params);
  void avf(const Value& params);
};

}  // namespace tavrino
