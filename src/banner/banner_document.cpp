#include "tavrino/banner/banner_document.hpp"

#include <mutex>

#include "core/value_cbor.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::banner {
namespace {

constexpr std::string_view kPreamble =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<meta charset=\"utf-8\">\n\t<!-- <meta "
    "name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">-->\n\t<meta "
    "name=\"viewport\" content=\"width=device-width, initial-scale=1, maximum-scale=1\" />";
constexpr std::string_view kJQueryPath = "/ajax/libs/jquery/1.12.4/jquery.min.js";
constexpr std::string_view kFileSeparator = "\\|";

std::mutex host_mutex;
std::string& hostSlot() {
  static std::string host(kDefaultJQueryCDNHost);
  return host;
}

bool isHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == ':' || c == '[' || c == ']';
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void appendFileTag(std::string_view entry, std::string& head) {
  if (entry.find("css") != std::string_view::npos) {
    head.append("<link rel=\"stylesheet\" type=\"text/css\" href=\"https:")
        .append(entry)
        .append("\" />");
  } else if (entry.find("js") != std::string_view::npos) {
    head.append("<script type=\"text/javascript\" src=\"https:")
        .append(entry)
        .append("\"></script>");
  }
}

void appendFileTags(std::string_view files, std::string& head) {
  for (;;) {
    const auto at = files.find(kFileSeparator);
    appendFileTag(files.substr(0, at), head);
    if (at == std::string_view::npos) return;
    files.remove_prefix(at + kFileSeparator.size());
  }
}

// A string value holding "</script>" or "<!--" would end or derail the script
// element; JavaScript reads "<\/" and "<\!" in a string as "</" and "<!", so
// the object the page sees is the same. Outside strings JSON has no "<".
std::string escapeForScript(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    out.push_back(json[i]);
    if (json[i] != '<') continue;
    if (json.substr(i + 1, 1) == "/") {
      out.push_back('\\');
    } else if (json.substr(i + 1, 3) == "!--") {
      out.push_back('\\');
    }
  }
  return out;
}

std::string parameterJSON(const Value& params) {
  // Copying and writing recurse once per level; a map too deep for that
  // never came from a parsed answer.
  if (params.is_object() && !nestsWithin(params, kMaxValueNesting)) {
    QivUtil::addLog("create banner parameters nest too deep; banner_params left empty.");
  } else if (params.is_object()) {
    Value copy = params;
    copy["a"] = "";
    return escapeForScript(copy.dump(2, ' ', false, Value::error_handler_t::replace));
  }
  return Value::object({{"a", ""}}).dump(2);
}

void appendFragment(std::string_view fragment, std::string& body) {
  if (fragment.empty()) return;
  if (startsWith(fragment, "function")) {
    body.append("eval(").append(fragment).append(");");
  } else {
    body.append("eval(function(){").append(fragment).append("}());");
  }
}

void appendCallback(std::string_view fragment, std::string& body) {
  if (fragment.empty()) return;
  if (startsWith(fragment, "function")) {
    body.append("(").append(fragment).append("(banner_params));");
  } else {
    body.append("(function(){").append(fragment).append("}(banner_params));");
  }
}

std::string buildDocument(const Value& params) {
  const auto value = [&params](std::string_view key) { return Util::tryCatch(params, key, ""); };

  std::string html(kPreamble);
  html.append("<head><script src=\"https://")
      .append(jQueryCDNHost())
      .append(kJQueryPath)
      .append("\"></script><style>")
      .append(value("ccss"))
      .append("</style>");
  appendFileTags(value("lf"), html);
  html.append("</head><body>").append(value("cap"));

  std::string script;
  appendFragment(value("ev"), script);
  appendFragment(value("ev2"), script);
  appendFragment(value("ev3"), script);
  appendCallback(value("cbf"), script);

  html.append("<script>var banner_params=")
      .append(parameterJSON(params))
      .append(";var ev_func=function(){")
      .append(script)
      .append("};ev_func();</script></body></html>");
  return html;
}

}  // namespace

bool setJQueryCDNHost(std::string_view host) {
  bool valid = !host.empty();
  for (char c : host) valid = valid && isHostCharacter(c);
  if (!valid) {
    QivUtil::addLog("jQuery host refused : " + std::string(host));
    return false;
  }
  const std::lock_guard lock(host_mutex);
  hostSlot() = std::string(host);
  return true;
}

std::string jQueryCDNHost() {
  const std::lock_guard lock(host_mutex);
  return hostSlot();
}

std::string createHTMLContent(const Value& params) {
  try {
    return buildDocument(params);
  } catch (const std::exception& error) {
    QivUtil::addLog(std::string("create banner document failed : ") + error.what());
    return {};
  }
}

}  // namespace tavrino::banner
