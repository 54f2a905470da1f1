#include <gtest/gtest.h>

#include <string>

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

std::string between(const std::string& text, std::string_view from, std::string_view to) {
  const auto start = text.find(from);
  if (start == std::string::npos) return "<missing start>";
  const auto begin = start + from.size();
  const auto end = text.find(to, begin);
  if (end == std::string::npos) return "<missing end>";
  return text.substr(begin, end - begin);
}

std::string head(const Value& params) {
  return between(createHTMLContent(params), "<head>", "</head>");
}

std::string scriptBody(const Value& params) {
  return between(createHTMLContent(params), ";var ev_func=function(){", "};ev_func();</script>");
}

std::string parameterText(const Value& params) {
  return between(createHTMLContent(params), "<script>var banner_params=", ";var ev_func=");
}

class DocumentTest : public testing::SdkTest {
 protected:
  void TearDown() override {
    banner::setJQueryCDNHost(banner::kDefaultJQueryCDNHost);
    SdkTest::TearDown();
  }
};

TEST_F(DocumentTest, MapWithoutKeysGivesTheBareDocument) {
  EXPECT_EQ(createHTMLContent(Value::object()),
            kPreamble + "<head>" + kJQuery +
                "<style></style></head><body><script>var banner_params={\n  \"a\": \"\"\n};"
                "var ev_func=function(){};ev_func();</script></body></html>");
}

TEST_F(DocumentTest, EveryPieceInItsPlace) {
  const Value params = {{"ccss", "p{color:red}"},
                        {"lf", "//x.test/a.css\\|//x.test/b.js"},
                        {"cap", "<p id=\"t\">Hi & <b>bye</b></p>"},
                        {"ev", "function(){go()}()"},
                        {"cbf", "function(p){use(p)}"}};
  EXPECT_EQ(head(params),
            kJQuery +
                "<style>p{color:red}</style>"
                "<link rel=\"stylesheet\" type=\"text/css\" href=\"https://x.test/a.css\" />"
                "<script type=\"text/javascript\" src=\"https://x.test/b.js\"></script>");
  EXPECT_NE(createHTMLContent(params).find(
                "</head><body><p id=\"t\">Hi & <b>bye</b></p><script>var banner_params={\n"),
            std::string::npos);
  EXPECT_EQ(scriptBody(params), "eval(function(){go()}());(function(p){use(p)}(banner_params));");
}

TEST_F(DocumentTest, FragmentsAreWrappedByTheirFormAndRunInOrder) {
  EXPECT_EQ(scriptBody({{"ev", "function(){a()}"}}), "eval(function(){a()});");
  EXPECT_EQ(scriptBody({{"cbf", "b();"}}), "(function(){b();}(banner_params));");
  // "function" must open the fragment: leading blanks make it statements.
  EXPECT_EQ(scriptBody({{"ev2", " function(){}"}}), "eval(function(){ function(){}}());");
  // Map order does not matter: ev, ev2, ev3, then cbf.
  EXPECT_EQ(scriptBody({{"cbf", "4"}, {"ev3", "3"}, {"ev2", "function 2"}, {"ev", "1"}}),
            "eval(function(){1}());eval(function 2);eval(function(){3}());"
            "(function(){4}(banner_params));");
}

TEST_F(DocumentTest, BlankNullAndAbsentKeysGiveEmptyPieces) {
  const Value params = {{"ccss", " "}, {"lf", ""},   {"cap", nullptr}, {"ev", " "},
                        {"ev2", ""},   {"ev3", " "}, {"cbf", nullptr}};
  EXPECT_EQ(head(params), kJQuery + "<style></style>");
  EXPECT_NE(createHTMLContent(params).find("</head><body><script>var banner_params="),
            std::string::npos);
  EXPECT_EQ(scriptBody(params), "");
  // Values that are not text are rendered as text.
  EXPECT_EQ(between(createHTMLContent({{"cap", 12.5}}), "<body>", "<script>"), "12.5");
  EXPECT_EQ(scriptBody({{"ev", true}}), "eval(function(){1}());");
}

TEST_F(DocumentTest, ParameterMapHasItsAEntryEmptiedAndNothingElseChanged) {
  const Value params = {{"z", 1}, {"a", {{"deep", "x"}}}, {"m", {1, "two"}}};
  EXPECT_EQ(parameterText(params),
            "{\n  \"z\": 1,\n  \"a\": \"\",\n  \"m\": [\n    1,\n    \"two\"\n  ]\n}");
  EXPECT_EQ(Value::parse(parameterText({{"k", "v"}})), Value({{"k", "v"}, {"a", ""}}));
  // Anything but a map counts as the empty map.
  EXPECT_EQ(Value::parse(parameterText(Value::array({1, 2}))), Value({{"a", ""}}));
  EXPECT_EQ(Value::parse(parameterText(nullptr)), Value({{"a", ""}}));

  // Unwritable maps still give a page: bytes that are not UTF-8 are replaced,
  // a map nested too deep is dropped.
  enableDebugLog();
  EXPECT_EQ(Value::parse(parameterText({{"k", std::string("a\xff")}})),
            Value({{"k", "a\xef\xbf\xbd"}, {"a", ""}}));
  Value deep = Value::object();
  Value* level = &deep;
  for (int i = 0; i < 1000; ++i) level = &(*level)["d"];
  EXPECT_EQ(Value::parse(parameterText(deep)), Value({{"a", ""}}));
  EXPECT_TRUE(log().contains("create banner parameters nest too deep"));
}

TEST_F(DocumentTest, FileListSplitsOnBackslashBarOnly) {
  const std::string css = "<link rel=\"stylesheet\" type=\"text/css\" href=\"https:";
  const std::string js = "<script type=\"text/javascript\" src=\"https:";
  const std::string none = kJQuery + "<style></style>";
  EXPECT_EQ(head({{"lf", "//h/x.css\\|\\|//h/y.js\\|"}}),
            none + css + "//h/x.css\" />" + js + "//h/y.js\"></script>");
  // "css" wins over "js"; "CSS" is not "css"; a plain bar or backslash is no separator.
  EXPECT_EQ(head({{"lf", "//h/a.CSS\\|//h/readme.txt"}}), none);
  EXPECT_EQ(head({{"lf", "//h/a.js|//h/b.css"}}), none + css + "//h/a.js|//h/b.css\" />");
  EXPECT_EQ(head({{"lf", "\\\\|x.js"}}), none + js + "x.js\"></script>");
}

TEST_F(DocumentTest, OnlyTheParameterJsonIsEscapedForTheScriptElement) {
  const Value params = {{"cap", "<b>x</b><!-- c -->"},
                        {"ccss", "</style>"},
                        {"v", "</script><script>alert(1)</script>"},
                        {"c", "<!--<script>"},
                        {"</k", "<\\/ <\\!-- <</"}};
  const std::string document = createHTMLContent(params);
  const std::string json = parameterText(params);
  EXPECT_EQ(json.find("<!--"), std::string::npos) << json;
  EXPECT_NE(json.find("\"v\": \"<\\/script><script>alert(1)<\\/script>\""), std::string::npos);
  EXPECT_NE(json.find("\"c\": \"<\\!--<script>\""), std::string::npos);
  // Backslashes of the value stay escaped; only the "<" gains one after it.
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

}  // namespace
}  // namespace tavrino
