// Banner documents from arbitrary parameter maps.
//
// Invariants: with the campaign's raw markup and script keys left out, the
// page is the fixed frame around the map's JSON; that JSON holds no "</" and
// no "<!--", so the only closing script tag (in any letter case) after the
// map is the element's own; and a script engine reading it (with "<\/" and
// "<\!" as "</" and "<!") gets back the map with "a" emptied. With every key
// in, the page still ends with that element.

#include <algorithm>
#include <cctype>

#include "core/value_cbor.hpp"
#include "fuzz_support.hpp"
#include "tavrino/banner/banner_document.hpp"

using namespace tavrino;

namespace {

constexpr std::string_view kScriptStart = "<script>var banner_params=";
constexpr std::string_view kScriptEnd =
    ";var ev_func=function(){};ev_func();</script></body></html>";

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  const Value params = fuzz::jsonObject(data, size);
  const std::string full = banner::createHTMLContent(params);
  if (!full.ends_with("};ev_func();</script></body></html>")) fuzz::fail("page cut short\n" + full);

  Value plain = params;
  for (const char* raw : {"ccss", "lf", "cap", "ev", "ev2", "ev3", "cbf"}) plain.erase(raw);
  const std::string document = banner::createHTMLContent(plain);
  const auto check = [&](bool holds, const char* what) {
    fuzz::require(holds, what + ("\n" + document));
  };
  const std::string frame = banner::createHTMLContent(Value::object());
  const auto start = frame.find(kScriptStart);
  check(start != std::string::npos && document.compare(0, start, frame, 0, start) == 0 &&
            document.ends_with(kScriptEnd),
        "page frame changed");
  const std::size_t jsonStart = start + kScriptStart.size();
  check(document.size() >= jsonStart + kScriptEnd.size(), "page too short");
  const std::string json =
      document.substr(jsonStart, document.size() - jsonStart - kScriptEnd.size());
  check(json.find("</") == std::string::npos && json.find("<!--") == std::string::npos,
        "map JSON can end the script element");
  std::string tail = document.substr(start);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  check(tail.find("</script") == tail.size() - std::string_view("</script></body></html>").size(),
        "a closing script tag inside the script");

  Value expected = plain;
  expected["a"] = "";
  if (!nestsWithin(plain, kMaxValueNesting)) return 0;  // dropped with a log line instead
  try {
    (void)expected.dump();
  } catch (const Value::exception&) {
    return 0;  // not UTF-8: replaced characters, compared by the unit tests
  }
  const Value read = Value::parse(replaceAll(replaceAll(json, "<\\/", "</"), "<\\!", "<!"), nullptr,
                                  /*allow_exceptions=*/false);
  check(read == expected, "map read back differs");
  return 0;
}
