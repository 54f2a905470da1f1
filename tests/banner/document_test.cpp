// The banner document as text: every piece in its place, the fragments'
// forms and order, the parameter JSON and its escaping, the file list and
// the script library's host.

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
const std::string kNoStyle = kJQuery + "<style></style>";
const std::string kCss = "<link rel=\"stylesheet\" type=\"text/css\" href=\"https:";
const std::string kJs = "<script type=\"text/javascript\" src=\"https:";

// The head's and body's content, the script's body and the parameter JSON.
struct Pieces {
  std::string head, body, script, json;
};
Pieces piecesOf(const Value& params) {
  const std::string text = createHTMLContent(params);
  const auto between = [&](std::string_view from, std::string_view to) -> std::string {
    const auto start = text.find(from);
    const auto end = start == text.npos ? text.npos : text.find(to, start + from.size());
    if (end == text.npos) return "<missing>";
    return text.substr(start + from.size(), end - start - from.size());
  };
  return {between("<head>", "</head>"), between("</head><body>", "<script>"),
          between(";var ev_func=function(){", "};ev_func();</script>"),
          between("<script>var banner_params=", ";var ev_func=")};
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
            kPreamble + "<head>" + kNoStyle +
                "</head><body><script>var banner_params={\n  \"a\": \"\"\n};"
                "var ev_func=function(){};ev_func();</script></body></html>");
  const Value params = {{"ccss", "p{color:red}"},
                        {"lf", "//x.test/a.css\\|\\|//x.test/a.txt\\|//x.test/b.js"},
                        {"cap", "<p id=\"t\">Hi & <b>bye</b></p>"},
                        {"ev", "function(){go()}()"},
                        {"cbf", "function(p){use(p)}"}};
  auto pieces = piecesOf(params);
  EXPECT_EQ(std::tuple(pieces.head, pieces.body, pieces.script),
            std::tuple(kJQuery + "<style>p{color:red}</style>" + kCss + "//x.test/a.css\" />" +
                           kJs + "//x.test/b.js\"></script>",
                       "<p id=\"t\">Hi & <b>bye</b></p>",
                       "eval(function(){go()}());(function(p){use(p)}(banner_params));"));

  // Blank, null and absent keys give empty pieces; values that are not
  // text are rendered as text.
  pieces = piecesOf({{"ccss", " "},
                     {"lf", ""},
                     {"cap", nullptr},
                     {"ev", " "},
                     {"ev2", ""},
                     {"ev3", " "},
                     {"cbf", nullptr}});
  EXPECT_EQ(std::tuple(pieces.head, pieces.body, pieces.script, piecesOf({{"cap", 12.5}}).body),
            std::tuple(kNoStyle, "", "", "12.5"));
}

// Map order does not matter: ev, ev2, ev3, then cbf. "function" must open
// a fragment to be taken as one: leading blanks make it statements.
TEST_F(DocumentTest, FragmentsAreWrappedByTheirFormAndRunInOrder) {
  EXPECT_EQ(piecesOf({{"cbf", "4"}, {"ev3", " function(){}"}, {"ev2", "function 2"}, {"ev", true}})
                .script,
            "eval(function(){1}());eval(function 2);eval(function(){ function(){}}());"
            "(function(){4}(banner_params));");
}

TEST_F(DocumentTest, ParameterMapHasItsAEntryEmptiedAndNothingElseChanged) {
  EXPECT_EQ(piecesOf({{"z", 1}, {"a", {{"deep", "x"}}}, {"m", {1, "two"}}}).json,
            "{\n  \"z\": 1,\n  \"a\": \"\",\n  \"m\": [\n    1,\n    \"two\"\n  ]\n}");
  // Anything but a map counts as the empty map. Unwritable maps still give
  // a page: bytes that are not UTF-8 are replaced, a map nested too deep is
  // dropped.
  enableDebugLog();
  Value deep = Value::object();
  Value* level = &deep;
  for (int i = 0; i < 1000; ++i) level = &(*level)["d"];
  const std::pair<Value, Value> cases[] = {{Value::array({1, 2}), {{"a", ""}}},
                                           {{{"k", "a\xff"}}, {{"k", "a\xef\xbf\xbd"}, {"a", ""}}},
                                           {deep, {{"a", ""}}}};
  for (const auto& [params, expected] : cases) {
    EXPECT_EQ(Value::parse(piecesOf(params).json), expected) << expected;
  }
  EXPECT_TRUE(log().contains("create banner parameters nest too deep"));
}

TEST_F(DocumentTest, JQueryHostIsConfigurableAndChecked) {
  enableDebugLog();
  ASSERT_TRUE(banner::setJQueryCDNHost("127.0.0.1:9"));
  EXPECT_EQ(piecesOf(Value::object()).head,
            "<script src=\"https://127.0.0.1:9/ajax/libs/jquery/1.12.4/jquery.min.js\"></script>"
            "<style></style>");
  for (std::string_view bad : {"", "a\"b", "h/x", "h x", "h<"})
    EXPECT_FALSE(banner::setJQueryCDNHost(bad)) << bad;
  EXPECT_TRUE(log().contains("jQuery host refused : a\"b"));
}

}  // namespace
}  // namespace tavrino
