// The banner document as text, and rendered in headless Chromium (when
// installed): the DOM it ends with shows what ran, in order.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "desktop_session/temp_dir.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/banner/banner_document.hpp"

namespace tavrino {
namespace {

using banner::createHTMLContent;

const std::string kPreamble =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<meta charset=\"utf-8\">\n\t<!-- <meta name=\"viewport\" "
    "content=\"width=device-width, initial-scale=1.0\">-->\n\t<meta name=\"viewport\" "
    "content=\"width=device-width, initial-scale=1, maximum-scale=1\" />";
const std::string kJQuery =
    "<script src=\"https://ajax.googleapis.com/ajax/libs/jquery/1.12.4/jquery.min.js\"></script>";
const std::string kCss = "<link rel=\"stylesheet\" type=\"text/css\" href=\"https:";
const std::string kJs = "<script type=\"text/javascript\" src=\"https:";

std::string between(const Value& params, std::string_view from, std::string_view to) {
  const std::string text = createHTMLContent(params);
  const auto start = text.find(from);
  if (start == std::string::npos) return "<missing start>";
  const auto begin = start + from.size();
  const auto end = text.find(to, begin);
  if (end == std::string::npos) return "<missing end>";
  return text.substr(begin, end - begin);
}
std::string head(const Value& params) {
  return between(params, "<head>", "</head>");
}
std::string body(const Value& params) {
  return between(params, "</head><body>", "<script>");
}
std::string scriptBody(const Value& params) {
  return between(params, ";var ev_func=function(){", "};ev_func();</script>");
}
std::string parameterText(const Value& params) {
  return between(params, "<script>var banner_params=", ";var ev_func=");
}

class DocumentTest : public testing::SdkTest {
 protected:
  void TearDown() override {
    banner::setJQueryCDNHost(banner::kDefaultJQueryCDNHost);
    SdkTest::TearDown();
  }
};

TEST_F(DocumentTest, EveryPieceInItsPlace) {
  EXPECT_EQ(createHTMLContent(Value::object()),
            kPreamble + "<head>" + kJQuery +
                "<style></style></head><body><script>var banner_params={\n  \"a\": \"\"\n};"
                "var ev_func=function(){};ev_func();</script></body></html>");
  const Value params = {{"ccss", "p{color:red}"},
                        {"lf", "//x.test/a.css\\|//x.test/b.js"},
                        {"cap", "<p id=\"t\">Hi & <b>bye</b></p>"},
                        {"ev", "function(){go()}()"},
                        {"cbf", "function(p){use(p)}"}};
  EXPECT_EQ(head(params), kJQuery + "<style>p{color:red}</style>" + kCss + "//x.test/a.css\" />" +
                              kJs + "//x.test/b.js\"></script>");
  EXPECT_EQ(body(params), "<p id=\"t\">Hi & <b>bye</b></p>");
  EXPECT_EQ(scriptBody(params), "eval(function(){go()}());(function(p){use(p)}(banner_params));");

  // Blank, null and absent keys give empty pieces; values that are not
  // text are rendered as text.
  const Value blank = {{"ccss", " "}, {"lf", ""},   {"cap", nullptr}, {"ev", " "},
                       {"ev2", ""},   {"ev3", " "}, {"cbf", nullptr}};
  EXPECT_EQ(std::tuple(head(blank), body(blank), scriptBody(blank), body({{"cap", 12.5}})),
            std::tuple(kJQuery + "<style></style>", "", "", "12.5"));
}

TEST_F(DocumentTest, FragmentsAreWrappedByTheirFormAndRunInOrder) {
  const std::pair<Value, const char*> cases[] = {
      {{{"ev", "function(){a()}"}}, "eval(function(){a()});"},
      {{{"cbf", "b();"}}, "(function(){b();}(banner_params));"},
      // "function" must open the fragment: leading blanks make it statements.
      {{{"ev2", " function(){}"}}, "eval(function(){ function(){}}());"},
      {{{"ev", true}}, "eval(function(){1}());"},
      // Map order does not matter: ev, ev2, ev3, then cbf.
      {{{"cbf", "4"}, {"ev3", "3"}, {"ev2", "function 2"}, {"ev", "1"}},
       "eval(function(){1}());eval(function 2);eval(function(){3}());"
       "(function(){4}(banner_params));"},
  };
  for (const auto& [params, script] : cases) EXPECT_EQ(scriptBody(params), script) << params;
}

TEST_F(DocumentTest, ParameterMapHasItsAEntryEmptiedAndNothingElseChanged) {
  EXPECT_EQ(parameterText({{"z", 1}, {"a", {{"deep", "x"}}}, {"m", {1, "two"}}}),
            "{\n  \"z\": 1,\n  \"a\": \"\",\n  \"m\": [\n    1,\n    \"two\"\n  ]\n}");
  // Anything but a map counts as the empty map. Unwritable maps still give
  // a page: bytes that are not UTF-8 are replaced, a map nested too deep is
  // dropped.
  enableDebugLog();
  Value deep = Value::object();
  Value* level = &deep;
  for (int i = 0; i < 1000; ++i) level = &(*level)["d"];
  const std::pair<Value, Value> cases[] = {{{{"k", "v"}}, {{"k", "v"}, {"a", ""}}},
                                           {Value::array({1, 2}), {{"a", ""}}},
                                           {nullptr, {{"a", ""}}},
                                           {{{"k", "a\xff"}}, {{"k", "a\xef\xbf\xbd"}, {"a", ""}}},
                                           {deep, {{"a", ""}}}};
  for (const auto& [params, expected] : cases) {
    EXPECT_EQ(Value::parse(parameterText(params)), expected) << expected;
  }
  EXPECT_TRUE(log().contains("create banner parameters nest too deep"));
}

TEST_F(DocumentTest, FileListSplitsOnBackslashBarOnly) {
  const std::string none = kJQuery + "<style></style>";
  EXPECT_EQ(head({{"lf", "//h/x.css\\|\\|//h/y.js\\|"}}),
            none + kCss + "//h/x.css\" />" + kJs + "//h/y.js\"></script>");
  // "css" wins over "js"; "CSS" is not "css"; a plain bar or backslash is no separator.
  EXPECT_EQ(head({{"lf", "//h/a.CSS\\|//h/readme.txt"}}), none);
  EXPECT_EQ(head({{"lf", "//h/a.js|//h/b.css"}}), none + kCss + "//h/a.js|//h/b.css\" />");
  EXPECT_EQ(head({{"lf", "\\\\|x.js"}}), none + kJs + "x.js\"></script>");
}

TEST_F(DocumentTest, OnlyTheParameterJsonIsEscapedForTheScriptElement) {
  const Value params = {{"cap", "<b>x</b><!-- c -->"},
                        {"ccss", "</style>"},
                        {"v", "</script><script>alert(1)</script>"},
                        {"c", "<!--<script>"},
                        {"</k", "<\\/ <\\!-- <</"}};
  const std::string document = createHTMLContent(params);
  // Backslashes of the value stay escaped; only the "<" gains one after it.
  const std::string json = parameterText(params);
  EXPECT_EQ(json.find("<!--"), std::string::npos) << json;
  EXPECT_NE(json.find("\"v\": \"<\\/script><script>alert(1)<\\/script>\""), std::string::npos);
  EXPECT_NE(json.find("\"c\": \"<\\!--<script>\""), std::string::npos);
  EXPECT_NE(json.find("\"<\\/k\": \"<\\\\/ <\\\\!-- <<\\/\""), std::string::npos) << json;
  // Campaign markup stays raw.
  EXPECT_NE(document.find("<body><b>x</b><!-- c --><script>"), std::string::npos);
  EXPECT_NE(document.find("<style></style></style>"), std::string::npos);
  // The only "</script>" after the map is the element's own end.
  const auto from = document.find("<script>var banner_params=");
  EXPECT_EQ(document.find("</script>", from), document.rfind("</script>"));
}

TEST_F(DocumentTest, JQueryHostIsConfigurableAndChecked) {
  enableDebugLog();
  ASSERT_TRUE(banner::setJQueryCDNHost("127.0.0.1:9"));
  EXPECT_EQ(head(Value::object()),
            "<script src=\"https://127.0.0.1:9/ajax/libs/jquery/1.12.4/jquery.min.js\"></script>"
            "<style></style>");
  for (std::string_view bad : {"", "a\"b", "h/x", "h x", "h<"})
    EXPECT_FALSE(banner::setJQueryCDNHost(bad)) << bad;
  EXPECT_EQ(banner::jQueryCDNHost(), "127.0.0.1:9");
  EXPECT_TRUE(log().contains("jQuery host refused : a\"b"));
}

// The chromium executable on PATH, if installed.
std::optional<std::filesystem::path> findChromium() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::filesystem::path candidate = std::filesystem::path(dir) / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// Appends "name:" + banner_params.k + (body markup present ? "+" : "-") to the
// body's data-order attribute, so the dumped DOM shows what ran, in order.
std::string mark(const std::string& name, const std::string& params = "banner_params") {
  return "document.body.setAttribute('data-order',(document.body.getAttribute('data-order')||'')+"
         "'" +
         name + ":'+" + params + ".k+(document.getElementById('capm')?'+':'-')+' ');";
}

// Records the hostile values as the page sees them, and the emptied "a".
const std::string kRecordValues =
    "document.body.setAttribute('data-v1',encodeURIComponent(banner_params.v1));"
    "document.body.setAttribute('data-v2',encodeURIComponent(banner_params.v2));"
    "document.body.setAttribute('data-a','['+banner_params.a+']');";

class DocumentChromiumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium_ = findChromium();
    if (!chromium_) GTEST_SKIP() << "chromium is not installed";
    // Fails at once without a network: the jQuery element simply does not load.
    ASSERT_TRUE(banner::setJQueryCDNHost("127.0.0.1:9"));
  }
  void TearDown() override { banner::setJQueryCDNHost(banner::kDefaultJQueryCDNHost); }

  // Renders html with --dump-dom and returns what Chromium printed; timeout
  // runs it in its own process group and kills the whole group, helpers
  // included, once the limit passes.
  std::string render(const std::string& html) {
    static int serial = 0;
    const auto page = dir_.path() / ("page" + std::to_string(++serial) + ".html");
    std::ofstream(page, std::ios::binary) << html;
    const std::string command = "timeout -s KILL 60 '" + chromium_->string() +
                                "' --headless --no-sandbox --disable-gpu --no-first-run "
                                "'--user-data-dir=" +
                                (dir_.path() / "profile").string() + "' --dump-dom 'file://" +
                                page.string() + "' 2>/dev/null";
    FILE* out = ::popen(command.c_str(), "r");
    std::string dom;
    char buffer[4096];
    for (std::size_t n; out && (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
      dom.append(buffer, n);
    const int status = out ? ::pclose(out) : -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "chromium failed or timed out";
    return dom;
  }

  std::optional<std::filesystem::path> chromium_;
  testing::TempDir dir_;
};

// Each fragment as a function and as statements: all run in order, see the
// parameters, and no hostile value breaks out of the script element.
TEST_F(DocumentChromiumTest, FragmentsRunInOrderWithTheParameters) {
  for (const bool asFunction : {true, false}) {
    SCOPED_TRACE(asFunction ? "functions" : "statements");
    Value params = {{"k", "K"},
                    {"a", "dropped"},
                    {"v1", "</script><p id='injected'>broken</p><script>"},
                    {"v2", "<!--<script>"},
                    {"cap", "<div id=\"capm\">banner <b>body</b></div>"},
                    {"ccss", "#capm{color:red}"},
                    {"lf", "//127.0.0.1:9/style.css\\|//127.0.0.1:9/extra.js"}};
    for (const char* key : {"ev", "ev2", "ev3"}) {
      params[key] = asFunction ? "function(){" + mark(key) + "}()" : mark(key);
    }
    params["cbf"] =
        asFunction ? "function(p){if(p===banner_params){" + mark("cbf", "p") + kRecordValues + "}}"
                   : mark("cbf") + kRecordValues;
    const std::string dom = render(banner::createHTMLContent(params));
    for (const char* expected :
         {"<div id=\"capm\">banner <b>body</b></div>", "data-order=\"ev:K+ ev2:K+ ev3:K+ cbf:K+ \"",
          "data-v1=\"%3C%2Fscript%3E%3Cp%20id%3D'injected'%3Ebroken%3C%2Fp%3E%3Cscript%3E\"",
          "data-v2=\"%3C!--%3Cscript%3E\"", "data-a=\"[]\""}) {
      EXPECT_NE(dom.find(expected), std::string::npos) << expected << "\n" << dom;
    }
    EXPECT_EQ(dom.find("<p id=\"injected\">"), std::string::npos) << dom;
  }
}

}  // namespace
}  // namespace tavrino
